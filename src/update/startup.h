// Start-up and shut-down of a run: what the run needs to know before it starts.
#pragma once

#include "update/run_context.h"

namespace lvm {

// Opens the log that the options ask for, chooses the language from the
// user's locale, describes Windows (for the 64-bit flag only) and gives the
// shared registry object the 64-bit view on a 64-bit system.
void CommonStartup(TRunContext& run);
// Closes what the shared registry object holds.
void CommonShutdown(TRunContext& run);

}  // namespace lvm
