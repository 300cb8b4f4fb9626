// Drives a Windows program that talks through message boxes: starts it, finds
// each message box of its process (dialog class "#32770"), reads caption and
// text through the wide API, answers from a script and waits for the exit.
// Used by the whole-executable tests and by the demo's runner.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace lvm::driver {

struct ShownBox {
    std::wstring caption;
    std::wstring text;      // the static control 0xFFFF
    bool isQuestion = false;  // has Yes/No buttons
    std::vector<int> buttons;  // the ids of its buttons (IDOK ... IDCONTINUE), in id order
    int answer = 0;           // the button pressed by the driver
    bool scripted = false;    // false: the script had no answer left
    bool progressVisibleBefore = false;  // the progress window was visible when it appeared
    FILETIME answeredAt{};                // system time at which the driver answered it
    bool foreground = false;      // it was the foreground window when it was read
    std::wstring coveredBy;       // class of a visible window above it that overlaps it; empty: none
    bool returnIgnored = false;   // answered with kPressReturn, but Return did not close it
};

// A scripted answer: press Return on the keyboard, as a person would, instead
// of posting a button's command. The box must have the keyboard focus; Return
// presses its default button (Yes in a Yes/No box).
constexpr int kPressReturn = -1;

struct RunOptions {
    std::wstring program;
    std::wstring arguments;          // without the program name
    std::wstring currentDirectory;   // empty: the driver's own
    std::vector<int> answers;        // IDYES / IDNO / IDOK in the order of the boxes; 0: leave it
    // Called with a box's index after it has been read and before it is
    // answered: what the test changes there, the program sees after the answer.
    std::function<void(size_t box)> beforeAnswer;
    DWORD timeoutMs = 60000;
    // Answer boxes at all (false: a person answers them on the display).
    bool answerBoxes = true;
    // Variables set (or, with an empty value, removed) in the program's
    // environment; the rest is the driver's own.
    std::vector<std::pair<std::wstring, std::wstring>> environment;
    // Non-empty: start the program in a new window station of this name that
    // nobody sees (not interactive, as a service's in session 0), on its
    // desktop "Default". Nothing there can be answered; windows are counted.
    std::wstring hiddenStation;
};

struct RunResult {
    bool started = false;
    bool timedOut = false;
    DWORD exitCode = 0;
    std::vector<ShownBox> boxes;
    bool progressWindowSeen = false;   // a visible "PlainWindow" of the process at any poll
    bool progressVisibleAtExit = false;
    DWORD elapsedMs = 0;
    // Run in a hidden station: the visible windows of the program seen there.
    size_t windowsOnHiddenDesktop = 0;
};

RunResult RunProgram(const RunOptions& options);

std::string ToUtf8(const std::wstring& wide);

}  // namespace lvm::driver
