// The progress window's thread and what it shares with the window's owner
// (TProgressWindow). Internal to src/progress/.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>

#include "common/scoped_handle.h"
#include "progress/progress_layout.h"

namespace lvm {

// Registered by the window thread; the owner unregisters it when it ends.
inline constexpr wchar_t kProgressWindowClass[] = L"PlainWindow";

// Everything the calling threads and the window thread share, behind one lock.
// The lock is never held across a call that sends a message to another thread,
// so neither thread can wait on the other while holding it. Owned jointly by
// the owner and the window thread: a thread that outlives its owner's bounded
// wait still finds its state.
struct TProgressState {
    std::mutex lock;
    // A window thread has been started and has not given up before making the window.
    // Guards the start: shows made before the window exists start one thread.
    bool threadStarted = false;
    // The window thread has made (or failed to make) the window.
    bool created = false;
    // The owner is going: a window made from now on is destroyed at once.
    bool closing = false;
    // Given by shows before the window exists; the revision tells the window
    // thread whether they changed while it was making the window.
    std::string pendingCaption;
    std::string pendingText;
    unsigned pendingRevision = 0;
    // Measured once by the window thread, at the DPI of the monitor the window
    // is made on; every later show and hide uses it.
    TWindowPlacement placement{0, 0, kProgressWidth, kProgressHeight};
    HWND mainWindow = nullptr;
    HWND textLine = nullptr;
    ScopedHandle windowThread;
    // Set by the window thread once the window is shown (or will not be).
    ScopedHandle shownEvent;
};

// The window thread: an object that lives as long as its thread and frees
// itself when the thread body ends. It makes the window with the pending
// caption and text, publishes it in the state and pumps its messages until
// the window is destroyed.
class TSetupForm {
public:
    // Starts the window thread; false when the system would not make one.
    // Called with state.lock held.
    static bool Start(const std::shared_ptr<TProgressState>& state);

    explicit TSetupForm(std::shared_ptr<TProgressState> state) : state_(std::move(state)) {}
    TSetupForm(const TSetupForm&) = delete;
    TSetupForm& operator=(const TSetupForm&) = delete;

private:
    static unsigned __stdcall ThreadEntry(void* form);
    void Execute();
    void Run();
    bool Publish(HWND mainWindow, HWND textLine, const TWindowPlacement& placement, unsigned revision,
                 std::wstring& caption, std::wstring& text);
    void SignalShown();

    std::shared_ptr<TProgressState> state_;
};

}  // namespace lvm
