#include "progress/progress_form.h"

#include <commctrl.h>  // class names only; the DLL is loaded from the system folder

#include <utility>

#include "common/display_dpi.h"
#include "common/installer_thread.h"
#include "common/scoped_handle.h"
#include "common/system_library.h"
#include "common/text.h"
#include "common/window_api.h"

namespace lvm {

namespace {

// No close command: the window has no system menu, and nothing in the
// installer closes it before its owner ends.
constexpr UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_NOCLOSE;
constexpr int kClassExtraBytes = 4;
constexpr int kWindowExtraBytes = 4;

constexpr DWORD kMainExStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_STATICEDGE;
// No system menu, so no close box. Being neither a popup nor a child, the
// window also gets a title bar (WS_CAPTION) from the system, which shows the
// caption; dragged away by it, the window returns to the centre on every show.
constexpr DWORD kMainStyle = WS_DLGFRAME;
constexpr DWORD kTextLineStyle = WS_CHILD | WS_VISIBLE | SS_LEFT;
constexpr DWORD kProgressBarStyle = WS_CHILD | WS_VISIBLE | WS_THICKFRAME;

static_assert(kClassStyle == 0x203, "class style");
static_assert(kMainExStyle == 0x20009, "main window extended style");
static_assert(kMainStyle == 0x400000, "main window style");
static_assert(kTextLineStyle == 0x50000000, "text line style");
static_assert(kProgressBarStyle == 0x50040000, "progress bar style");

// Sent by Windows 10 1703 and later only, and declared for them only.
#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

// Handed to WM_CREATE of the main window, which makes the children: a type
// whose one object lives on the window thread's stack while the window is made.
struct CreationContext {
    std::wstring text;
    int dpi = kDefaultDpi;
    HWND textLine = nullptr;
};


HWND CreateChild(HWND parent, HINSTANCE module, const wchar_t* className, const wchar_t* text,
                 DWORD style, const TChildRect& rect) {
    // No menu handle: a child's control identifier is 0.
    return User32().CreateWindowExW(0, className, text, style, rect.x, rect.y, rect.width,
                                    rect.height, parent, nullptr, module, nullptr);
}

// Gives the text line `font` (none: the system font) and deletes the one it
// had, which was made here.
void ReplaceTextLineFont(HWND textLine, ScopedFont font, BOOL redraw) {
    const ScopedFont previous(reinterpret_cast<HFONT>(User32().SendMessageW(textLine, WM_GETFONT, 0, 0)));
    User32().SendMessageW(textLine, WM_SETFONT, reinterpret_cast<WPARAM>(font.release()), redraw);
}

// The text line draws with the system font, which Windows makes for the system
// DPI. At that DPI (96 at 100 % scaling) the line keeps it and has no font of
// its own; on a monitor of another DPI it gets the system font scaled to that
// DPI. The font it had before, if any, was made here and goes now.
void SetTextLineFont(HWND textLine, int dpi) {
    ScopedFont font;
    const int systemDpi = SystemDpi();
    LOGFONTW logFont{};
    if (dpi != systemDpi &&
        Gdi32().GetObjectW(Gdi32().GetStockObject(SYSTEM_FONT), sizeof(logFont), &logFont) != 0) {
        logFont.lfHeight = MulDiv(logFont.lfHeight, dpi, systemDpi);
        logFont.lfWidth = MulDiv(logFont.lfWidth, dpi, systemDpi);
        font.reset(Gdi32().CreateFontIndirectW(&logFont));
    }
    ReplaceTextLineFont(textLine, std::move(font), TRUE);
}

void PlaceChild(HWND child, const TChildRect& rect) {
    if (!child) return;
    User32().SetWindowPos(child, nullptr, rect.x, rect.y, rect.width, rect.height,
                          SWP_NOZORDER | SWP_NOACTIVATE);
}

// The children at `dpi`, found by class: the window procedure keeps no state.
void LayOutChildren(HWND window, int dpi) {
    const HWND textLine = User32().FindWindowExW(window, nullptr, L"STATIC", nullptr);
    PlaceChild(textLine, ScaleForDpi(kTextLineRect, dpi));
    PlaceChild(User32().FindWindowExW(window, nullptr, PROGRESS_CLASSW, nullptr),
               ScaleForDpi(kProgressBarRect, dpi));
    if (textLine) SetTextLineFont(textLine, dpi);
}

LRESULT CALLBACK ProgressWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* context = static_cast<CreationContext*>(create->lpCreateParams);
        if (context) {
            context->textLine =
                CreateChild(window, create->hInstance, L"STATIC", context->text.c_str(),
                            kTextLineStyle, ScaleForDpi(kTextLineRect, context->dpi));
            // Made once and never advanced: the bar says that work goes on, not how far.
            CreateChild(window, create->hInstance, PROGRESS_CLASSW, L"", kProgressBarStyle,
                        ScaleForDpi(kProgressBarRect, context->dpi));
            if (context->textLine) SetTextLineFont(context->textLine, context->dpi);
        }
        return 0;
    }
    // Per-monitor aware (Windows 10 1703 and later): before the window moves
    // to a monitor of another DPI, its size there is asked for, whether a
    // person drags it or a show returns it to the centre at the size measured
    // for the first monitor. It is the layout's size at that DPI, never the
    // size it is given scaled once more.
    case WM_GETDPISCALEDSIZE: {
        auto* size = reinterpret_cast<SIZE*>(lParam);
        const int dpi = static_cast<int>(wParam);
        size->cx = ScaleForDpi(kProgressWidth, dpi);
        size->cy = ScaleForDpi(kProgressHeight, dpi);
        return TRUE;
    }
    // Then it takes the rectangle Windows suggests there, and its children follow.
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        LayOutChildren(window, LOWORD(wParam));
        User32().SetWindowPos(window, nullptr, suggested->left, suggested->top,
                              suggested->right - suggested->left,
                              suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_DESTROY:
        // The children still exist: the text line's own font, if any, goes with it.
        if (const HWND textLine = User32().FindWindowExW(window, nullptr, L"STATIC", nullptr)) {
            ReplaceTextLineFont(textLine, ScopedFont(), FALSE);
        }
        User32().PostQuitMessage(0);
        return 0;
    default:
        return User32().DefWindowProcW(window, message, wParam, lParam);
    }
}

bool RegisterWindowClass(HINSTANCE module) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = kClassStyle;
    windowClass.lpfnWndProc = &ProgressWndProc;
    windowClass.cbClsExtra = kClassExtraBytes;
    windowClass.cbWndExtra = kWindowExtraBytes;
    windowClass.hInstance = module;
    // The executable carries no icon of its own: a null name finds none, and
    // without a system menu there is nowhere to show one.
    windowClass.hIcon = User32().LoadIconW(module, nullptr);
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = User32().LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(Gdi32().GetStockObject(GRAY_BRUSH));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kProgressWindowClass;
    return User32().RegisterClassExW(&windowClass) != 0;
}

void RunMessageLoop() {
    MSG message;
    // 0 is WM_QUIT; -1 (an invalid filter window) would repeat for ever, so it
    // ends the loop too.
    while (User32().GetMessageW(&message, nullptr, 0, 0) > 0) {
        User32().TranslateMessage(&message);
        User32().DispatchMessageW(&message);
    }
}

// comctl32 is not one of the system's known DLLs, so it is not imported (an
// import would be resolved from the installer's folder first); it is loaded
// from the system folder, where the manifest's side-by-side redirection to
// version 6 still applies. Loaded once and kept until the process ends (a
// function-local constant): the progress bar's window class lives in it, and
// a window thread may outlive its owner's bounded wait.
void InitCommonControlsFromSystemFolder() {
    static const HMODULE comctl32 = LoadSystemLibrary(L"comctl32.dll");
    if (const auto init = LVM_GET_FUNCTION(comctl32, InitCommonControls)) init();
}

}  // namespace

bool TSetupForm::Start(const std::shared_ptr<TProgressState>& state) {
    // Manual reset: every show that waits for this window is released.
    if (!state->shownEvent) state->shownEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!state->shownEvent) return false;
    auto form = std::make_unique<TSetupForm>(state);
    ScopedHandle thread = StartInstallerThread<&TSetupForm::ThreadEntry>(form.get());
    if (!thread) return false;
    form.release();  // the thread owns it now and frees it when it ends
    state->windowThread = std::move(thread);
    return true;
}

unsigned __stdcall TSetupForm::ThreadEntry(void* form) {
    std::unique_ptr<TSetupForm> self(static_cast<TSetupForm*>(form));
    self->Execute();
    return 0;
}

void TSetupForm::Execute() {
    try {
        Run();
    } catch (...) {
        // The window only tells the user that work goes on: running out of
        // memory for its texts must not end the installation with it. A thread
        // that gave up before making the window lets a later show try again.
        std::lock_guard<std::mutex> guard(state_->lock);
        if (!state_->created) state_->threadStarted = false;
    }
}

void TSetupForm::Run() {
    // In pixels of the primary monitor, where the window is centred.
    const int dpi = PrimaryMonitorDpi();
    const TWindowPlacement placement = CentredProgressPlacement(
        User32().GetSystemMetrics(SM_CXSCREEN), User32().GetSystemMetrics(SM_CYSCREEN), dpi);
    // Loads comctl32 and registers its classes, the progress bar among them.
    InitCommonControlsFromSystemFolder();

    const HINSTANCE module = GetModuleHandleW(nullptr);
    if (!RegisterWindowClass(module)) {
        // No window: a later show may try again with a thread of its own.
        std::lock_guard<std::mutex> guard(state_->lock);
        state_->threadStarted = false;
        return;
    }

    std::wstring caption;
    CreationContext context;
    context.dpi = dpi;
    unsigned revision = 0;
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        caption = Widen(state_->pendingCaption);
        context.text = Widen(state_->pendingText);
        revision = state_->pendingRevision;
    }

    const HWND mainWindow = User32().CreateWindowExW(
        kMainExStyle, kProgressWindowClass, caption.c_str(), kMainStyle, placement.left,
        placement.top, placement.width, placement.height, nullptr, nullptr, module, &context);
    // Shown before it is published: a hide made as soon as the calling thread
    // can see the window must not be undone by this first show. Shown without
    // activation: the keyboard stays with whatever the user answers next.
    if (mainWindow) User32().ShowWindow(mainWindow, SW_SHOWNOACTIVATE);

    const bool keep =
        Publish(mainWindow, context.textLine, placement, revision, caption, context.text);
    SignalShown();
    if (!keep) {
        // Made while the owner was ending: gone before anyone else can see it
        // (the window procedure destroys it on WM_CLOSE).
        if (mainWindow) User32().SendMessageW(mainWindow, WM_CLOSE, 0, 0);
        return;
    }
    RunMessageLoop();
}

// Hands the window to the calling threads. A show or caption made while the
// window was being made wins over the one the window was made with. False when
// there is no window to keep: none was made, or the owner is ending.
bool TSetupForm::Publish(HWND mainWindow, HWND textLine, const TWindowPlacement& placement,
                         unsigned revision, std::wstring& caption, std::wstring& text) {
    bool pendingChanged = false;
    bool closing = false;
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        state_->placement = placement;
        state_->mainWindow = mainWindow;
        state_->textLine = textLine;
        // Set even when the creation failed: later calls then address no window.
        state_->created = true;
        closing = state_->closing;
        pendingChanged = state_->pendingRevision != revision;
        if (pendingChanged) {
            caption = Widen(state_->pendingCaption);
            text = Widen(state_->pendingText);
        }
    }
    if (!mainWindow || closing) return false;
    if (pendingChanged) {
        User32().SetWindowTextW(mainWindow, caption.c_str());
        if (textLine) User32().SetWindowTextW(textLine, text.c_str());
    }
    return true;
}

// Releases a first show that waits for the window to be on the screen.
void TSetupForm::SignalShown() {
    HANDLE shown = nullptr;
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        shown = state_->shownEvent.get();
    }
    // The event stays open as long as the state, which this thread co-owns.
    if (shown) SetEvent(shown);
}

}  // namespace lvm
