// A small topmost progress window, run by a thread of its own. The calling
// thread only shows, hides and retitles it.
#pragma once

#include <string>

namespace lvm {

void ShowProgress(const std::string& caption, const std::string& text);
void HideProgress();
void SetProgressCaption(const std::string& caption);
void SetProgressText(const std::string& text);

}  // namespace lvm
