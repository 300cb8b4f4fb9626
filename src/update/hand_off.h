// The running application: whether it runs, telling it to quit, and starting
// it again after the update.
#pragma once

#include <functional>

namespace lvm {

// True when the mapping "lingvaro_memfile" did not exist at the moment of the
// call. When it did, its handle is kept open until the process ends.
bool AppNotRunning();

// Posts WM_QUIT to the application's main window, when there is one.
void TellAppToQuit();

// Opens InstallDir + ProductShortName + ".exe" through the shell.
void LaunchApp();

// Starts the application, waits for it and brings its window to the front.
void LaunchAndActivateApp();

}  // namespace lvm
