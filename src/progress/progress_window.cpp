#include "progress/progress_window.h"

namespace lvm {

// Interim: no window yet.
void ShowProgress(const std::string&, const std::string&) {}
void HideProgress() {}
void SetProgressCaption(const std::string&) {}
void SetProgressText(const std::string&) {}

}  // namespace lvm
