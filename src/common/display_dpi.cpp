// GetDpiForMonitor is declared for Windows 8.1 and later only. This file alone
// sees that declaration, so that the function fetched by name has the SDK's own
// type (LVM_GET_FUNCTION); it calls nothing newer than Windows 7 directly.
#undef WINVER
#undef _WIN32_WINNT
#undef NTDDI_VERSION
#define WINVER 0x0603
#define _WIN32_WINNT 0x0603
#define NTDDI_VERSION 0x06030000

#include "common/display_dpi.h"

#include <windows.h>
#include <shellscalingapi.h>

#include "common/system_library.h"
#include "common/window_api.h"

namespace lvm {

int SystemDpi() {
    const ScopedScreenDc screen(User32().GetDC(nullptr));
    const int dpi = screen ? Gdi32().GetDeviceCaps(screen.get(), LOGPIXELSX) : 0;
    return dpi > 0 ? dpi : kDefaultDpi;
}

int PrimaryMonitorDpi() {
    // shcore.dll comes with Windows 8.1. A system-aware process (Windows 8.1
    // to 10 1607, by the manifest) is told the system DPI here too.
    const ScopedModule shcore(LoadSystemLibrary(L"shcore.dll"));
    if (const auto getDpiForMonitor = LVM_GET_FUNCTION(shcore.get(), GetDpiForMonitor)) {
        // The primary monitor is the one that holds the screen's origin.
        const HMONITOR primary = User32().MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
        UINT dpiX = 0;
        UINT dpiY = 0;
        if (primary && SUCCEEDED(getDpiForMonitor(primary, MDT_EFFECTIVE_DPI, &dpiX, &dpiY)) &&
            dpiX > 0) {
            return static_cast<int>(dpiX);
        }
    }
    return SystemDpi();
}

}  // namespace lvm
