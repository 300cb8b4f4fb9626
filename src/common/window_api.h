// The window system's functions: user32, gdi32 and shell32 loaded from the
// system folder at the first call that needs them.
//
// A modest run that goes well shows nothing, yet a program that imports these
// DLLs pays for them at every start: loading and initialising them cost about
// 20 ms and 10 MB of a 180 ms run under Wine, and comparable time on Windows.
// So the installer's import table names only kernel32, advapi32 and the C
// runtime, and everything that draws, asks or starts through the shell calls
// through these tables. Once loaded, the DLLs stay for the life of the process,
// as imported ones would.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "common/scoped_handle.h"
#include "common/system_library.h"

namespace lvm {

#define LVM_USER32_FUNCTIONS(X)                                                                  \
    X(CallNextHookEx) X(CreateWindowExW) X(DefWindowProcW) X(DispatchMessageW) X(FindWindowExW) \
    X(FindWindowW) X(GetClassNameW) X(GetDC) X(GetMessageW) X(GetProcessWindowStation)          \
    X(GetSystemMetrics) X(GetUserObjectInformationW) X(GetWindowThreadProcessId) X(IsWindow)    \
    X(LoadCursorW) X(LoadIconW) X(MessageBoxExW) X(MessageBoxW) X(MonitorFromPoint)            \
    X(PostMessageW) X(PostQuitMessage) X(PostThreadMessageW) X(RegisterClassExW) X(ReleaseDC)  \
    X(SendMessageW) X(SetForegroundWindow)                                                      \
    X(SetWindowPos) X(SetWindowTextW) X(SetWindowsHookExW) X(ShowWindow) X(TranslateMessage)   \
    X(UnhookWindowsHookEx) X(UnregisterClassW)
#define LVM_GDI32_FUNCTIONS(X) \
    X(CreateFontIndirectW) X(DeleteObject) X(GetDeviceCaps) X(GetObjectW) X(GetStockObject)
#define LVM_SHELL32_FUNCTIONS(X) X(SHGetFileInfoW) X(ShellExecuteW)

#define LVM_FUNCTION_FIELD(name) LVM_SDK_FUNCTION_TYPE(name) name = nullptr;

struct TUser32Functions {
    LVM_USER32_FUNCTIONS(LVM_FUNCTION_FIELD)
};
struct TGdi32Functions {
    LVM_GDI32_FUNCTIONS(LVM_FUNCTION_FIELD)
};
struct TShell32Functions {
    LVM_SHELL32_FUNCTIONS(LVM_FUNCTION_FIELD)
};

#undef LVM_FUNCTION_FIELD

// Each loads its DLL at its first call (thread-safe). Every Windows version the
// installer supports has all of these functions; where one is missing all the
// same, nothing can be shown and the process ends with ERROR_INSTALL_FAILURE.
const TUser32Functions& User32();
const TGdi32Functions& Gdi32();
const TShell32Functions& Shell32();

inline void UnhookThroughUser32(HHOOK hook) { User32().UnhookWindowsHookEx(hook); }
using ScopedHook = TScopedGeneric<TNullWhenInvalidTraits<HHOOK, &UnhookThroughUser32>>;
// The whole screen's device context (GetDC(nullptr)).
inline void ReleaseScreenDc(HDC screen) { User32().ReleaseDC(nullptr, screen); }
using ScopedScreenDc = TScopedGeneric<TNullWhenInvalidTraits<HDC, &ReleaseScreenDc>>;
inline void DeleteFontThroughGdi32(HFONT font) { Gdi32().DeleteObject(font); }
using ScopedFont = TScopedGeneric<TNullWhenInvalidTraits<HFONT, &DeleteFontThroughGdi32>>;

}  // namespace lvm
