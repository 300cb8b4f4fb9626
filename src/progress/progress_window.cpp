#include "progress/progress_window.h"

#include <windows.h>

#include <mutex>

#include "common/scoped_handle.h"
#include "common/text.h"
#include "common/window_api.h"
#include "progress/progress_form.h"
#include "progress/progress_layout.h"

namespace lvm {

namespace {

// The first show returns only once the window is on the screen: a message
// box asked right after it must come up above it, not be covered by a window
// that appears a moment later. Bounded, since the window only tells the user
// that work goes on; it also ends when the window thread gives up.
constexpr DWORD kShowWaitMs = 5000;

// How long the owner waits for the window thread to end once told to close.
// Bounded for the same reason: a stuck window must not keep the run from ending.
constexpr DWORD kEndWaitMs = 5000;

// What a calling thread needs to address the live window.
struct LiveWindow {
    HWND mainWindow = nullptr;
    HWND textLine = nullptr;
    TWindowPlacement placement{0, 0, kProgressWidth, kProgressHeight};
};

LiveWindow SnapshotLiveWindow(TProgressState& state) {
    std::lock_guard<std::mutex> guard(state.lock);
    return {state.mainWindow, state.textLine, state.placement};
}

// The caller's own handle to the window thread: a show that starts a thread
// after one gave up replaces (and closes) the state's handle, perhaps while
// another show still waits on the old one.
ScopedHandle DuplicateThreadHandle(TProgressState& state) {
    std::lock_guard<std::mutex> guard(state.lock);
    HANDLE copy = nullptr;
    if (!state.windowThread ||
        !DuplicateHandle(GetCurrentProcess(), state.windowThread.get(), GetCurrentProcess(), &copy,
                         0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return ScopedHandle();
    }
    return ScopedHandle(copy);
}

// Stores the pending caption and text and starts the window thread unless one
// is already on its way. False when the window already exists.
bool StorePendingAndStart(const std::shared_ptr<TProgressState>& state, const std::string& caption,
                          const std::string& text) {
    std::lock_guard<std::mutex> guard(state->lock);
    if (state->created) return false;
    state->pendingCaption = caption;
    state->pendingText = text;
    ++state->pendingRevision;
    if (!state->threadStarted) state->threadStarted = TSetupForm::Start(state);
    return true;
}

void WaitUntilShown(TProgressState& state) {
    const ScopedHandle thread = DuplicateThreadHandle(state);
    HANDLE waits[2] = {};
    DWORD count = 0;
    {
        // The event is made once and lives as long as the state.
        std::lock_guard<std::mutex> guard(state.lock);
        if (state.shownEvent) waits[count++] = state.shownEvent.get();
    }
    if (thread) waits[count++] = thread.get();
    if (count > 0) WaitForMultipleObjects(count, waits, FALSE, kShowWaitMs);
}

// Back to the measured centre, at the measured size and topmost, shown or
// hidden, never activated: a question asked next must keep the keyboard.
void PlaceWindow(TProgressState& state, UINT showOrHide) {
    const LiveWindow window = SnapshotLiveWindow(state);
    if (!window.mainWindow) return;
    const TWindowPlacement& place = window.placement;
    User32().SetWindowPos(window.mainWindow, HWND_TOPMOST, place.left, place.top, place.width,
                          place.height, showOrHide | SWP_NOACTIVATE);
}

// True while `window` is still the one the window thread made: the handle of
// a window destroyed behind the owner's back may name another window by now.
bool IsWindowOfThread(HWND window, HANDLE thread) {
    return window && User32().GetWindowThreadProcessId(window, nullptr) == GetThreadId(thread);
}

}  // namespace

TProgressWindow::TProgressWindow() : state_(std::make_shared<TProgressState>()) {}

TProgressWindow::~TProgressWindow() {
    HWND mainWindow = nullptr;
    {
        // From here on a window thread that is still making its window closes
        // it itself; one that has published it is told to below.
        std::lock_guard<std::mutex> guard(state_->lock);
        state_->closing = true;
        mainWindow = state_->mainWindow;
    }
    const ScopedHandle thread = DuplicateThreadHandle(*state_);
    // Never shown: nothing to close, and the window system need not be loaded.
    if (!thread) return;

    // Posted, not sent: a window thread that does not answer must not hold the
    // owner beyond its bounded wait. WM_CLOSE destroys the window, which ends
    // the thread's message loop.
    if (IsWindowOfThread(mainWindow, thread.get())) {
        User32().PostMessageW(mainWindow, WM_CLOSE, 0, 0);
    }
    WaitForSingleObject(thread.get(), kEndWaitMs);
    // Fails while a window of the class still exists (a thread that did not end
    // in time); the class then stays registered until the process ends.
    User32().UnregisterClassW(kProgressWindowClass, GetModuleHandleW(nullptr));
}

void TProgressWindow::Show(const std::string& caption, const std::string& text) {
    if (StorePendingAndStart(state_, caption, text)) {
        WaitUntilShown(*state_);
        return;
    }
    SetCaption(caption);
    SetText(text);
    PlaceWindow(*state_, SWP_SHOWWINDOW);
}

void TProgressWindow::Hide() { PlaceWindow(*state_, SWP_HIDEWINDOW); }

void TProgressWindow::SetCaption(const std::string& caption) {
    HWND mainWindow = nullptr;
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        if (!state_->created) {
            state_->pendingCaption = caption;
            ++state_->pendingRevision;
            return;
        }
        mainWindow = state_->mainWindow;
    }
    // Outside the lock: the system hands the call to the window thread and
    // waits for it.
    if (mainWindow) User32().SetWindowTextW(mainWindow, Widen(caption).c_str());
}

void TProgressWindow::SetText(const std::string& text) {
    // Nothing is kept for later: before the window exists the text is lost.
    const LiveWindow window = SnapshotLiveWindow(*state_);
    if (window.textLine) User32().SetWindowTextW(window.textLine, Widen(text).c_str());
}

}  // namespace lvm
