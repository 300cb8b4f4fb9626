// The running application: whether it runs, telling it to quit and waiting
// for it to go, and starting it again after the update. The application
// publishes two marks while it runs: the mapping "lingvaro_memfile" and a
// top-level window of its main window class.
#pragma once

#include <string>
#include <vector>

#include "common/scoped_handle.h"
#include "handoff/hand_off_wait.h"

namespace lvm {

// Where the application is and how its main window is known.
struct TAppLocation {
    std::string installDir;  // ends in a backslash
    std::string executableName;  // the application's file in installDir
    std::string mainWindowClass;

    std::string ExecutablePath() const { return installDir + executableName; }
};

// True when no mapping "lingvaro_memfile" exists at the moment of the call.
// The test only opens an existing mapping and closes it at once: it neither
// creates the mark (a single-instance application starting at that moment
// would take it for a first copy of itself) nor keeps it alive (a new
// instance started later would see "already running" and leave).
bool AppNotRunning();

// The application that was told to quit: the process of its main window, open
// for waiting, or empty when no window was found.
struct TQuitRequest {
    ScopedHandle process;
    // Instances in other sessions that were asked to close, open for waiting.
    std::vector<ScopedHandle> elsewhere;

    bool AnyoneToWaitFor() const { return process.valid() || !elsewhere.empty(); }
};

// Posts WM_QUIT to the application's main window, when there is one.
TQuitRequest TellAppToQuit(const TAppLocation& app);

// Waits, at most kAppExitLimitMs, until the application told to quit has
// gone: its mapping no longer exists and its processes (where known, in
// other sessions too) have ended.
// False when the limit ran out first.
bool WaitForAppToExit(const TQuitRequest& request);

// Opens ExecutablePath() with the installation folder as its current
// directory: through the desktop shell, so that it runs as the signed-in user
// and not with this process's administrator rights, or, where there is no
// desktop shell to ask, directly through the shell functions.
// Failures are not reported.
void LaunchApp(const TAppLocation& app);

// Starts the application, waits for it (at most 8 polls of 512 ms for the
// mapping, then at most 11 polls of 1024 ms for the main window) and brings
// its window to the front. Gives up silently.
void LaunchAndActivateApp(const TAppLocation& app);

// The real seams behind LaunchAndActivateApp, for HandOffToApp.
THandOffSeams SystemHandOffSeams(const TAppLocation& app);

}  // namespace lvm
