// A small topmost progress window, run by a thread of its own. The calling
// thread only shows, hides and retitles it; it never pumps messages for it.
//
// The window is made by the first ShowProgress and lives until the process
// ends. Before it exists, HideProgress and SetProgressText do nothing and
// SetProgressCaption keeps the caption for the window to come.
#pragma once

#include <string>

namespace lvm {

// Shows the window centred and topmost with this caption and text line; the
// first call starts the window thread and returns at once.
void ShowProgress(const std::string& caption, const std::string& text);
void HideProgress();
void SetProgressCaption(const std::string& caption);
void SetProgressText(const std::string& text);

}  // namespace lvm
