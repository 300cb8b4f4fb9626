#include "support/scripted_ui.h"

namespace lvm::test {

int ScriptedUserInterface::ShowMessageBox(const TMessageBoxRequest& request) {
    shown_.push_back(request);
    if (!answers_.empty()) {
        const int answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    return (request.style & 0xF) == 0 ? 1 /* IDOK */ : 7 /* IDNO */;
}

std::vector<std::string> ScriptedUserInterface::Texts() const {
    std::vector<std::string> texts;
    for (const TMessageBoxRequest& r : shown_) texts.push_back(r.text);
    return texts;
}

TestRun::TestRun(bool russian) : run(config, options, ui.Seams(), facts.Seams()) {
    run.UseRussian = russian;
    // The view a 64-bit Windows gives the installer.
    run.SharedRegistry.SetAccess(kRegistryAccess64);
}

}  // namespace lvm::test
