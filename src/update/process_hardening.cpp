#include "update/process_hardening.h"

#include <windows.h>

#include "common/system_library.h"

namespace lvm {

void HardenProcess() {
    // Every DLL loaded from now on (by us or by the system on our behalf, as
    // the shell does for ShellExecute) comes from the system folder, never
    // from the folder the installer was started from.
    RestrictDllSearchToSystemFolder();
    // A corrupted heap ends the process rather than letting it run on.
    HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
    // A path on a missing drive or an empty card reader fails quietly
    // instead of putting a system dialog in front of the run. Set for this
    // thread, which does all the file work, and not for the process: every
    // process started from here inherits the process's error mode, and the
    // application started after the update must get its own dialogs.
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, nullptr);
}

}  // namespace lvm
