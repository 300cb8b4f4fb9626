// The running application: whether it runs, telling it to quit, and starting
// it again after the update. The application publishes two marks while it
// runs: the mapping "lingvaro_memfile" and a top-level window of class
// PackageConfig.MainWindowClass.
#pragma once

#include "update/hand_off_wait.h"

namespace lvm {

// True when the mapping "lingvaro_memfile" did not exist at the moment of the
// call (the mapping this call created is closed again at once). False when it
// existed: this process then keeps its handle to it open until the process
// ends, so every later call in the run answers false too.
bool AppNotRunning();

// Posts WM_QUIT to the application's main window, when there is one.
void TellAppToQuit();

// Opens InstallDir + ProductShortName + ".exe" through the shell, with the
// installation folder as the current directory. Failures are not reported.
void LaunchApp();

// Starts the application, waits for it (at most 8 polls of 512 ms for the
// mapping, then at most 11 polls of 1024 ms for the main window) and brings
// its window to the front. Gives up silently.
void LaunchAndActivateApp();

// The real operations behind LaunchAndActivateApp, for HandOffToApp.
THandOffHooks RealHandOffHooks();

// Closes the mapping handle that AppNotRunning keeps after a false answer.
// The run never does this; tests do, so that one test's running application
// does not outlive it in later tests.
void ForgetRunningAppForTesting();

}  // namespace lvm
