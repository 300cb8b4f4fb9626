// The application in sessions the installer cannot see. Its marks (the
// mapping and the main window) live in the session of the user who runs it, so
// an installer running as SYSTEM, or a second user's Lingvaro under fast user
// switching, is found only by asking the Restart Manager which processes hold
// the installed package.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/scoped_handle.h"
#include "handoff/held_package.h"

namespace lvm {

// The holders that are the application of the installation folder (the same
// executable path, letter case aside). Any other holder (a backup, a scanner)
// is never touched.
std::vector<TFileHolder> ApplicationHolders(const std::vector<TFileHolder>& holders, const std::string& appExe);

// Asks every instance of the application that holds `package`, in any session,
// to close, and returns them opened for waiting (those still running and not
// replaced by another process of the same id). A Restart Manager that fails
// changes nothing: the write then reports its failure as it would.
std::vector<ScopedHandle> AskApplicationElsewhereToClose(const TRestartManagerSeams& restartManager, const std::string& package,
                                                         const std::string& appExe);

}  // namespace lvm
