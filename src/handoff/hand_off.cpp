#include "handoff/hand_off.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "common/text.h"
#include "common/window_api.h"
#include "handoff/desktop_shell_start.h"

namespace lvm {

namespace {

constexpr wchar_t kAppMappingName[] = L"lingvaro_memfile";

HWND FindMainWindow(const std::string& mainWindowClass) {
    return User32().FindWindowW(Widen(mainWindowClass).c_str(), nullptr);
}

bool ProcessEnded(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

}  // namespace

bool AppNotRunning() {
    const ScopedHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, kAppMappingName));
    if (mapping) return false;
    // A mapping that exists but is not ours to open is still the mark of a
    // running application; any other failure counts as not running.
    return GetLastError() != ERROR_ACCESS_DENIED;
}

TQuitRequest TellAppToQuit(const TAppLocation& app) {
    TQuitRequest request;
    // Without a window there is nobody to post to: a WM_QUIT for the null
    // handle would land in this thread's own queue and close the next box.
    const HWND window = FindMainWindow(app.mainWindowClass);
    if (!window) return request;
    DWORD processId = 0;
    User32().GetWindowThreadProcessId(window, &processId);
    // Opened before the post, so the id cannot be reused by the time we wait.
    if (processId != 0) request.process.reset(OpenProcess(SYNCHRONIZE, FALSE, processId));
    User32().PostMessageW(window, WM_QUIT, 0, 0);
    return request;
}

bool WaitForAppToExit(const TQuitRequest& request) {
    TAppExitSeams seams;
    seams.appGone = [&request] {
        for (const ScopedHandle& other : request.elsewhere) {
            if (!ProcessEnded(other.get())) return false;
        }
        return AppNotRunning() && (!request.process || ProcessEnded(request.process.get()));
    };
    // A plain sleep: this thread has no windows, so it owes nobody messages.
    seams.sleep = [](uint32_t milliseconds) { Sleep(milliseconds); };
    seams.now = [] { return static_cast<uint32_t>(GetTickCount()); };
    return WaitForAppExit(seams);
}

void LaunchApp(const TAppLocation& app) {
    const std::wstring folder = Widen(app.installDir);
    const std::wstring file = Widen(app.ExecutablePath());
    TAppStartSeams seams;
    seams.throughDesktopShell = [&] { return StartThroughDesktopShell(file, folder); };
    seams.directly = [&] {
        // The application expects its own folder as the current directory; the
        // empty directory text below makes the shell start it in ours.
        SetCurrentDirectoryW(folder.c_str());
        Shell32().ShellExecuteW(nullptr, L"open", file.c_str(), L"", L"", SW_SHOWNORMAL);
    };
    StartApp(seams);
}

THandOffSeams SystemHandOffSeams(const TAppLocation& app) {
    THandOffSeams seams;
    seams.launch = [app] { LaunchApp(app); };
    seams.sleep = [](uint32_t milliseconds) { Sleep(milliseconds); };
    seams.appNotRunning = AppNotRunning;
    seams.findMainWindow = [app] { return static_cast<WindowRef>(FindMainWindow(app.mainWindowClass)); };
    seams.activate = [](WindowRef window) {
        const HWND handle = static_cast<HWND>(window);
        User32().ShowWindow(handle, SW_SHOWNORMAL);
        User32().SetForegroundWindow(handle);
    };
    return seams;
}

void LaunchAndActivateApp(const TAppLocation& app) { HandOffToApp(SystemHandOffSeams(app)); }

}  // namespace lvm
