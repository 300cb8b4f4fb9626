#include "lang/user_interface.h"

#include <windows.h>

#include "common/scoped_handle.h"
#include "common/text.h"
#include "common/window_api.h"

namespace lvm {

namespace {

bool IsDialogBox(HWND window) {
    wchar_t className[16] = {};
    User32().GetClassNameW(window, className, 16);
    return wcscmp(className, L"#32770") == 0;
}

// The box this thread is about to show is raised above every other window of
// the run. The boxes have no owner, and the progress window (another thread's,
// topmost) may be on the screen; MB_TOPMOST alone does not order the two
// everywhere, so the order is made explicit: when the box is first
// activated it is put at the top of the topmost band, where nothing of ours
// covers it, and it keeps the activation and so the keyboard.
LRESULT CALLBACK RaiseBoxOnActivation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        const HWND window = reinterpret_cast<HWND>(wParam);
        if (IsDialogBox(window)) {
            User32().SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
                                  SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    // The hook is per thread and installed only around our own boxes, so no
    // other hook in the chain is skipped by passing the call on.
    return User32().CallNextHookEx(nullptr, code, wParam, lParam);
}

int ShowSystemMessageBox(const TMessageBoxRequest& request) {
    const std::wstring text = Widen(request.text);
    const std::wstring caption = Widen(request.caption);
    // A hook of this thread only, for the length of this one box.
    const ScopedHook raiser(
        User32().SetWindowsHookExW(WH_CBT, &RaiseBoxOnActivation, nullptr, GetCurrentThreadId()));
    // The boxes have no owner window: the installer has no main window.
    if (request.languageId != 0) {
        return User32().MessageBoxExW(nullptr, text.c_str(), caption.c_str(), request.style,
                                      request.languageId);
    }
    return User32().MessageBoxW(nullptr, text.c_str(), caption.c_str(), request.style);
}

}  // namespace

TUserInterfaceSeams SystemUserInterfaceSeams() { return {ShowSystemMessageBox}; }

}  // namespace lvm
