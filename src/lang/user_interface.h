// The one place where the installer talks to the user. The run is given the
// system's message boxes; tests give it a scripted interface that answers
// questions and reads the exact texts.
#pragma once

#include <functional>
#include <string>

namespace lvm {

// Styles and language of the installer's boxes.
constexpr unsigned kErrorBoxStyle = 0x00200010;     // MB_OK | MB_ICONERROR | MB_SERVICE_NOTIFICATION
constexpr unsigned kQuestionBoxStyle = 0x00042024;  // MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL | MB_TOPMOST
constexpr unsigned short kRussianLanguageId = 0x0019;  // MAKELANGID(LANG_RUSSIAN, SUBLANG_NEUTRAL)
constexpr int kAnswerYes = 6;                       // IDYES
// The question about a file in use: MB_CANCELTRYCONTINUE | MB_ICONWARNING |
// MB_TASKMODAL | MB_TOPMOST, and its two answers besides IDCANCEL.
constexpr unsigned kHeldFileBoxStyle = 0x00042036;
constexpr int kAnswerTryAgain = 10;                 // IDTRYAGAIN
constexpr int kAnswerContinue = 11;                 // IDCONTINUE

struct TMessageBoxRequest {
    std::string text;     // UTF-8
    std::string caption;  // UTF-8
    unsigned style = 0;
    // Non-zero: shown with MessageBoxExW in this language; zero: MessageBoxW.
    unsigned short languageId = 0;
};

struct TUserInterfaceSeams {
    // Returns the button pressed (IDYES, IDNO, IDOK...), or 0 when no box could be shown.
    std::function<int(const TMessageBoxRequest& request)> showMessageBox;
};

// The system's message boxes: no owner window, raised above other topmost
// windows while they are up.
TUserInterfaceSeams SystemUserInterfaceSeams();

}  // namespace lvm
