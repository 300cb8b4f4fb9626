#include "lang/user_interface.h"

#include <windows.h>

#include "common/text.h"

namespace lvm {

namespace {

class SystemMessageBoxes final : public UserInterface {
public:
    int ShowMessageBox(const MessageBoxRequest& request) override {
        const std::wstring text = Widen(request.text);
        const std::wstring caption = Widen(request.caption);
        // The boxes have no owner window: the installer has no main window.
        if (request.languageId != 0) {
            return MessageBoxExW(nullptr, text.c_str(), caption.c_str(), request.style,
                                 request.languageId);
        }
        return MessageBoxW(nullptr, text.c_str(), caption.c_str(), request.style);
    }
};

SystemMessageBoxes g_systemBoxes;
UserInterface* g_current = &g_systemBoxes;

}  // namespace

UserInterface& CurrentUserInterface() { return *g_current; }

void SetUserInterface(UserInterface* ui) { g_current = ui ? ui : &g_systemBoxes; }

int ShowRussianBox(const std::string& text, const std::string& caption, unsigned style) {
    return CurrentUserInterface().ShowMessageBox({text, caption, style, kRussianLanguageId});
}

int ShowEnglishBox(const std::string& text, const std::string& caption, unsigned style) {
    return CurrentUserInterface().ShowMessageBox({text, caption, style, 0});
}

}  // namespace lvm
