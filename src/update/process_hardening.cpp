#include "update/process_hardening.h"

#include <windows.h>

#include "common/installer_thread.h"
#include "common/system_library.h"

namespace lvm {

void HardenProcess() {
    // Every DLL loaded from now on (by us or by the system on our behalf, as
    // the shell does for ShellExecute) comes from the system folder, never
    // from the folder the installer was started from.
    RestrictDllSearchToSystemFolder();
    // A corrupted heap ends the process rather than letting it run on.
    HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
    // The main thread's share of the quiet error mode; the threads it starts
    // take theirs as they start (StartInstallerThread).
    QuietCriticalErrorsOnThisThread();
}

}  // namespace lvm
