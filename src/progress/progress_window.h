// A small topmost progress window, run by a thread of its own. The calling
// thread only shows, hides and retitles it; it never pumps messages for it.
//
// The window is made by the first ShowProgress and lives until the process
// ends. Before it exists, HideProgress and SetProgressText do nothing and
// SetProgressCaption keeps the caption for the window to come.
#pragma once

#include <string>

namespace lvm {

// Shows the window centred and topmost with this caption and text line,
// without taking activation from anyone. The first call starts the window
// thread and returns once the window is on the screen (at most 5 s).
void ShowProgress(const std::string& caption, const std::string& text);
void HideProgress();
void SetProgressCaption(const std::string& caption);
void SetProgressText(const std::string& text);

}  // namespace lvm
