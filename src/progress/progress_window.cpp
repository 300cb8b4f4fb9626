#include "progress/progress_window.h"

#include <windows.h>
#include <commctrl.h>  // class names only; the DLL is loaded from the system folder
#include <process.h>

#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "common/scoped_handle.h"
#include "common/system_library.h"
#include "common/text.h"
#include "common/window_api.h"
#include "progress/progress_layout.h"
#include "progress/progress_window_test_access.h"

namespace lvm {

namespace {

constexpr wchar_t kWindowClassName[] = L"PlainWindow";

// No close command: the window has no system menu, and nothing in the
// installer ever closes it.
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

// Everything the calling thread and the window thread share, behind one lock.
// The lock is never held across a call that sends a message to another thread,
// so neither thread can wait on the other while holding it.
struct ProgressState {
    std::mutex lock;
    // A window thread has been started and has not given up before making the window.
    // Guards the start: shows made before the window exists start one thread.
    bool threadStarted = false;
    // ProgressCreated: the window thread has made (or failed to make) the window.
    bool created = false;
    // Given by shows before the window exists; the revision tells the window
    // thread whether they changed while it was making the window.
    std::string pendingCaption;
    std::string pendingText;
    unsigned pendingRevision = 0;
    // Measured once by the window thread; every later show and hide uses it.
    WindowOrigin origin{0, 0};
    HWND mainWindow = nullptr;
    HWND textLine = nullptr;
    HWND progressBar = nullptr;
    ScopedHandle windowThread;
    // Set by the window thread once the window is shown (or will not be).
    ScopedHandle shownEvent;
    unsigned threadsStarted = 0;
};

// Never destroyed: the window thread runs until the process ends and may
// still be reading the state while exit() destroys static objects.
ProgressState& State() {
    alignas(ProgressState) static unsigned char storage[sizeof(ProgressState)];
    static ProgressState* const state = ::new (static_cast<void*>(storage)) ProgressState();
    return *state;
}

// What the calling thread needs to address the live window.
struct LiveWindow {
    HWND mainWindow = nullptr;
    HWND textLine = nullptr;
    WindowOrigin origin{0, 0};
};

LiveWindow SnapshotLiveWindow() {
    ProgressState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    return {state.mainWindow, state.textLine, state.origin};
}

// Handed to WM_CREATE of the main window, which makes the children.
struct CreationContext {
    std::wstring text;
    HWND textLine = nullptr;
    HWND progressBar = nullptr;
};

HWND CreateChild(HWND parent, HINSTANCE module, const wchar_t* className, const wchar_t* text,
                 DWORD style, const ChildRect& rect) {
    // No menu handle: a child's control identifier is 0.
    return User32().CreateWindowExW(0, className, text, style, rect.x, rect.y, rect.width, rect.height,
                           parent, nullptr, module, nullptr);
}

LRESULT CALLBACK ProgressWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* context = static_cast<CreationContext*>(create->lpCreateParams);
        if (context) {
            context->textLine = CreateChild(window, create->hInstance, L"STATIC",
                                            context->text.c_str(), kTextLineStyle, kTextLineRect);
            // Made once and never advanced: the bar says that work goes on, not how far.
            context->progressBar = CreateChild(window, create->hInstance, PROGRESS_CLASSW, L"",
                                               kProgressBarStyle, kProgressBarRect);
        }
        return 0;
    }
    case WM_DESTROY:
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
    // without a title bar there is nowhere to show one.
    windowClass.hIcon = User32().LoadIconW(module, nullptr);
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = User32().LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(Gdi32().GetStockObject(GRAY_BRUSH));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kWindowClassName;
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
// version 6 still applies. It stays loaded until the process ends: the
// progress bar's window class lives in it, and the window thread may outlive
// any owner that would free it.
void InitCommonControlsFromSystemFolder() {
    using InitFunction = void(WINAPI*)();
    static const HMODULE comctl32 = LoadSystemLibrary(L"comctl32.dll");
    if (const auto init = GetFunction<InitFunction>(comctl32, "InitCommonControls")) init();
}

// Releases a ShowProgress that waits for the window to be on the screen.
void SignalShown(ProgressState& state) {
    HANDLE shown = nullptr;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        shown = state.shownEvent.get();
    }
    if (shown) SetEvent(shown);
}

// The window thread's body: measures the screen, makes the window with the
// pending caption and text, publishes it and pumps its messages until the
// process ends (or the window is destroyed).
void RunProgressWindow() {
    ProgressState& state = State();
    const WindowOrigin origin =
        CentredProgressOrigin(User32().GetSystemMetrics(SM_CXSCREEN), User32().GetSystemMetrics(SM_CYSCREEN));
    // Loads comctl32 and registers its classes, the progress bar among them.
    InitCommonControlsFromSystemFolder();

    const HINSTANCE module = GetModuleHandleW(nullptr);
    if (!RegisterWindowClass(module)) {
        // No window: a later show may try again with a thread of its own.
        std::lock_guard<std::mutex> guard(state.lock);
        state.threadStarted = false;
        return;
    }

    std::wstring caption;
    CreationContext context;
    unsigned revision = 0;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        caption = Widen(state.pendingCaption);
        context.text = Widen(state.pendingText);
        revision = state.pendingRevision;
    }

    const HWND mainWindow =
        User32().CreateWindowExW(kMainExStyle, kWindowClassName, caption.c_str(), kMainStyle, origin.left,
                        origin.top, kProgressWidth, kProgressHeight, nullptr, nullptr, module,
                        &context);
    // Shown before it is published: a hide made as soon as the calling thread
    // can see the window must not be undone by this first show. Shown without
    // activation: the keyboard stays with whatever the user answers next.
    if (mainWindow) User32().ShowWindow(mainWindow, SW_SHOWNOACTIVATE);

    bool pendingChanged = false;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        state.origin = origin;
        state.mainWindow = mainWindow;
        state.textLine = context.textLine;
        state.progressBar = context.progressBar;
        // Set even when the creation failed: later calls then address no window.
        state.created = true;
        pendingChanged = state.pendingRevision != revision;
        if (pendingChanged) {
            caption = Widen(state.pendingCaption);
            context.text = Widen(state.pendingText);
        }
    }
    // A show or caption made while the window was being made wins over the
    // one the window was made with.
    if (pendingChanged && mainWindow) {
        User32().SetWindowTextW(mainWindow, caption.c_str());
        if (context.textLine) User32().SetWindowTextW(context.textLine, context.text.c_str());
    }
    SignalShown(state);

    RunMessageLoop();
}

// The window thread: an object that lives as long as its thread and frees
// itself when the thread body ends. The window's state is module state, not
// the object's, because the calling thread reads it too.
class TSetupForm {
public:
    // Starts the window thread; false when the system would not make one.
    static bool Start(ProgressState& state);

private:
    static unsigned __stdcall ThreadEntry(void* form);
    void Execute();
};

bool TSetupForm::Start(ProgressState& state) {
    // Manual reset: every show that waits for this window is released.
    if (!state.shownEvent) state.shownEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto form = std::make_unique<TSetupForm>();
    // _beginthreadex rather than CreateThread: the body uses the C runtime
    // (strings, exceptions), which sets itself up per thread through it.
    const uintptr_t thread = _beginthreadex(nullptr, 0, &TSetupForm::ThreadEntry, form.get(), 0,
                                            nullptr);
    if (thread == 0) return false;
    form.release();  // the thread owns it now and frees it when it ends
    state.windowThread.reset(reinterpret_cast<HANDLE>(thread));
    ++state.threadsStarted;
    return true;
}

unsigned __stdcall TSetupForm::ThreadEntry(void* form) {
    std::unique_ptr<TSetupForm> self(static_cast<TSetupForm*>(form));
    self->Execute();
    return 0;
}

void TSetupForm::Execute() {
    try {
        RunProgressWindow();
    } catch (...) {
        // The window only tells the user that work goes on: running out of
        // memory for its texts must not end the installation with it. A thread
        // that gave up before making the window lets a later show try again.
        ProgressState& state = State();
        std::lock_guard<std::mutex> guard(state.lock);
        if (!state.created) state.threadStarted = false;
    }
}

// Stores the pending caption and text and starts the window thread unless one
// is already on its way. False when the window already exists.
bool StorePendingAndStart(const std::string& caption, const std::string& text) {
    ProgressState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.created) return false;
    state.pendingCaption = caption;
    state.pendingText = text;
    ++state.pendingRevision;
    if (!state.threadStarted) state.threadStarted = TSetupForm::Start(state);
    return true;
}

// Back to the measured centre, at the fixed size and topmost, shown or hidden,
// never activated: a question asked next must keep the keyboard.
void PlaceWindow(UINT showOrHide) {
    const LiveWindow window = SnapshotLiveWindow();
    if (!window.mainWindow) return;
    User32().SetWindowPos(window.mainWindow, HWND_TOPMOST, window.origin.left, window.origin.top,
                 kProgressWidth, kProgressHeight, showOrHide | SWP_NOACTIVATE);
}

// The first show returns only once the window is on the screen: a message
// box asked right after it must come up above it, not be covered by a window
// that appears a moment later. Bounded, since the window only tells the user
// that work goes on; it also ends when the window thread gives up.
constexpr DWORD kShowWaitMs = 5000;

void WaitUntilShown() {
    ProgressState& state = State();
    HANDLE waits[2] = {};
    DWORD count = 0;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        if (state.shownEvent) waits[count++] = state.shownEvent.get();
        if (state.windowThread) waits[count++] = state.windowThread.get();
    }
    // The handles stay open: only the tests' reset closes them, never during a show.
    if (count > 0) WaitForMultipleObjects(count, waits, FALSE, kShowWaitMs);
}

}  // namespace

void ShowProgress(const std::string& caption, const std::string& text) {
    if (StorePendingAndStart(caption, text)) {
        WaitUntilShown();
        return;
    }
    SetProgressCaption(caption);
    SetProgressText(text);
    PlaceWindow(SWP_SHOWWINDOW);
}

void HideProgress() { PlaceWindow(SWP_HIDEWINDOW); }

void SetProgressCaption(const std::string& caption) {
    ProgressState& state = State();
    HWND mainWindow = nullptr;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        if (!state.created) {
            state.pendingCaption = caption;
            ++state.pendingRevision;
            return;
        }
        mainWindow = state.mainWindow;
    }
    // Outside the lock: the system hands the call to the window thread and
    // waits for it.
    if (mainWindow) User32().SetWindowTextW(mainWindow, Widen(caption).c_str());
}

void SetProgressText(const std::string& text) {
    // Nothing is kept for later: before the window exists the text is lost.
    const LiveWindow window = SnapshotLiveWindow();
    if (window.textLine) User32().SetWindowTextW(window.textLine, Widen(text).c_str());
}

namespace test {

ProgressWindowHandles WaitForProgressWindow(DWORD timeoutMs) {
    ProgressState& state = State();
    const DWORD start = GetTickCount();
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(state.lock);
            if (state.created) return {state.mainWindow, state.textLine, state.progressBar};
            if (!state.threadStarted) return {};
        }
        if (GetTickCount() - start >= timeoutMs) return {};
        Sleep(5);
    }
}

bool ProgressWindowCreated() {
    ProgressState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    return state.created;
}

unsigned ProgressThreadsStarted() {
    ProgressState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    return state.threadsStarted;
}

bool WaitForProgressThreadEnd(DWORD timeoutMs) {
    ProgressState& state = State();
    HANDLE thread = nullptr;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        thread = state.windowThread.get();
    }
    // The handle stays open until a reset, which the waiting test itself makes.
    return !thread || WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
}

bool ResetProgressWindow() {
    constexpr DWORD kTimeoutMs = 10000;
    ProgressState& state = State();
    // A thread still making its window finishes that first.
    WaitForProgressWindow(kTimeoutMs);

    HANDLE thread = nullptr;
    HWND mainWindow = nullptr;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        thread = state.windowThread.get();
        mainWindow = state.mainWindow;
    }
    if (thread && WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
        // Destroying the window ends the loop through WM_DESTROY; a thread
        // without a window is told to quit directly. Its id cannot have been
        // reused while its handle is open.
        if (User32().IsWindow(mainWindow)) {
            User32().SendMessageW(mainWindow, WM_CLOSE, 0, 0);
        } else {
            User32().PostThreadMessageW(GetThreadId(thread), WM_QUIT, 0, 0);
        }
        if (WaitForSingleObject(thread, kTimeoutMs) != WAIT_OBJECT_0) return false;
    }
    User32().UnregisterClassW(kWindowClassName, GetModuleHandleW(nullptr));

    std::lock_guard<std::mutex> guard(state.lock);
    state.threadStarted = false;
    state.created = false;
    state.pendingCaption.clear();
    state.pendingText.clear();
    state.pendingRevision = 0;
    state.origin = {0, 0};
    state.mainWindow = nullptr;
    state.textLine = nullptr;
    state.progressBar = nullptr;
    state.windowThread.reset();
    state.shownEvent.reset();
    state.threadsStarted = 0;
    return true;
}

}  // namespace test

}  // namespace lvm
