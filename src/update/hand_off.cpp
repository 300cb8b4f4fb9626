#include "update/hand_off.h"

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <utility>

#include "common/scoped_handle.h"
#include "common/text.h"
#include "environment/environment.h"
#include "update/package_config.h"

namespace lvm {

namespace {

constexpr wchar_t kAppMappingName[] = L"lingvaro_memfile";
constexpr DWORD kAppMappingSize = 64;

// The process-wide slot for the mapping handle of a running application.
// Once the application has been seen running, this process holds the mapping
// open until it ends (the static's destructor closes it at exit), so later
// running tests in the same run keep answering false. A newer handle to the
// same mapping replaces an older one, which keeps the count of open handles
// at one. Window handles are never stored here: they are not kernel handles
// and must not be closed with CloseHandle.
ScopedHandle AppHandle;

HWND FindMainWindow() {
    return FindWindowW(Widen(PackageConfig.MainWindowClass).c_str(), nullptr);
}

}  // namespace

bool AppNotRunning() {
    // Cleared first: a successful creation of a new mapping is not promised to
    // reset the last error, and a stale ERROR_ALREADY_EXISTS would read as a
    // running application.
    SetLastError(ERROR_SUCCESS);
    ScopedHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            kAppMappingSize, kAppMappingName));
    const bool existed = mapping && GetLastError() == ERROR_ALREADY_EXISTS;
    if (existed) {
        AppHandle = std::move(mapping);
        return false;
    }
    // Closing our new handle removes the mapping we have just created. A
    // creation that failed for another reason also counts as not running.
    return true;
}

void TellAppToQuit() {
    // Without a window there is nobody to post to: a WM_QUIT for the null
    // handle would land in this thread's own queue and close the next box.
    const HWND window = FindMainWindow();
    if (window) PostMessageW(window, WM_QUIT, 0, 0);
}

void LaunchApp() {
    // The application expects its own folder as the current directory; the
    // empty directory text below makes the shell start it in ours.
    SetCurrentDirectoryW(Widen(Environment.InstallDir).c_str());
    const std::wstring file =
        Widen(Environment.InstallDir + PackageConfig.ProductShortName + ".exe");
    ShellExecuteW(nullptr, L"open", file.c_str(), L"", L"", SW_SHOWNORMAL);
}

THandOffHooks RealHandOffHooks() {
    THandOffHooks hooks;
    hooks.launch = LaunchApp;
    // A plain sleep: this thread has no windows, so it owes nobody messages.
    hooks.sleep = [](uint32_t milliseconds) { Sleep(milliseconds); };
    hooks.appNotRunning = AppNotRunning;
    hooks.findMainWindow = [] { return static_cast<WindowRef>(FindMainWindow()); };
    hooks.activate = [](WindowRef window) {
        const HWND handle = static_cast<HWND>(window);
        ShowWindow(handle, SW_SHOWNORMAL);
        SetForegroundWindow(handle);
    };
    return hooks;
}

void LaunchAndActivateApp() { HandOffToApp(RealHandOffHooks()); }

void ForgetRunningAppForTesting() { AppHandle.reset(); }

}  // namespace lvm
