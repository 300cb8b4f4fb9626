#include "update/hand_off.h"

#include <windows.h>
#include <shellapi.h>

#include "common/scoped_handle.h"
#include "common/text.h"
#include "environment/environment.h"
#include "update/package_config.h"

namespace lvm {

// Interim: the running test and the start, without the waits.
bool AppNotRunning() {
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64,
                                        L"lingvaro_memfile");
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    if (existed) return false;  // held open until the process ends
    if (mapping) CloseHandle(mapping);
    return true;
}

void TellAppToQuit() {
    // Without a window there is nobody to post to: a WM_QUIT for the null
    // handle would land in this thread's own queue and close the next box.
    const HWND window = FindWindowW(Widen(PackageConfig.MainWindowClass).c_str(), nullptr);
    if (window) PostMessageW(window, WM_QUIT, 0, 0);
}

void LaunchApp() {
    SetCurrentDirectoryW(Widen(Environment.InstallDir).c_str());
    const std::wstring file =
        Widen(Environment.InstallDir + PackageConfig.ProductShortName + ".exe");
    ShellExecuteW(nullptr, L"open", file.c_str(), L"", L"", SW_SHOWNORMAL);
}

void LaunchAndActivateApp() { LaunchApp(); }

}  // namespace lvm
