// A small topmost progress window, run by a thread of its own. The calling
// threads only show, hide and retitle it; they never pump messages for it.
//
// The window is made by the first Show and lives until its owner, this
// object, is destroyed. Before it exists, Hide and SetText do nothing and
// SetCaption keeps the caption for the window to come. One object at a time
// per process: the window class is the process's.
#pragma once

#include <memory>
#include <string>

namespace lvm {

struct TProgressState;

class TProgressWindow {
public:
    TProgressWindow();
    // Closes the window, if there is one, waits (at most 5 s) for its thread
    // to end and unregisters the window class.
    ~TProgressWindow();

    TProgressWindow(const TProgressWindow&) = delete;
    TProgressWindow& operator=(const TProgressWindow&) = delete;

    // Shows the window centred and topmost with this caption and text line,
    // without taking activation from anyone. The first call starts the window
    // thread and returns once the window is on the screen (at most 5 s).
    // Safe to call from several threads at once.
    void Show(const std::string& caption, const std::string& text);
    void Hide();
    void SetCaption(const std::string& caption);
    void SetText(const std::string& text);

private:
    // Shared with the window thread, which may outlive the destructor's wait.
    std::shared_ptr<TProgressState> state_;
};

}  // namespace lvm
