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

namespace lvm {

struct TFileHolder {
    uint32_t processId = 0;
    uint64_t startTime = 0;  // the process's creation time (FILETIME), telling a reused id apart
    std::string exePath;     // empty when it could not be read
    std::string appName;     // what the Restart Manager calls it; may be empty
};

// A holder as a person knows it: the Restart Manager's name for it, else its
// executable's file name, else "process <id>".
std::string HolderName(const TFileHolder& holder);

// The Restart Manager as far as the run uses it. The system's is a stub under
// Wine, so tests give a scripted one.
class RestartManager {
public:
    virtual ~RestartManager() = default;
    // The processes that hold `file`; nullopt when the Restart Manager failed.
    virtual std::optional<std::vector<TFileHolder>> HoldersOf(const std::string& file) = 0;
    // Asks these processes to close, without force; false when it could not.
    virtual bool AskToClose(const std::vector<TFileHolder>& processes) = 0;
};

// rstrtmgr.dll, loaded from the system folder at the call.
class SystemRestartManager final : public RestartManager {
public:
    std::optional<std::vector<TFileHolder>> HoldersOf(const std::string& file) override;
    bool AskToClose(const std::vector<TFileHolder>& processes) override;
};

// The holders that are the application of the installation folder (the same
// executable path, letter case aside). Any other holder (a backup, a scanner)
// is never touched.
std::vector<TFileHolder> ApplicationHolders(const std::vector<TFileHolder>& holders, const std::string& appExe);

// Asks every instance of the application that holds `package`, in any session,
// to close, and returns them opened for waiting (those still running and not
// replaced by another process of the same id). A Restart Manager that fails
// changes nothing: the write then reports its failure as it would.
std::vector<ScopedHandle> AskApplicationElsewhereToClose(RestartManager& restartManager, const std::string& package,
                                                         const std::string& appExe);

}  // namespace lvm
