// Where the application is installed, whether the user may install, and the
// uninstall key: found once at the start of the run.
#pragma once

#include <string>

#include "common/system_facts.h"
#include "environment/path_rules.h"
#include "environment/registry.h"
#include "lang/messages.h"

namespace lvm {

struct TEnvironmentRecord {
    bool IsAdmin = true;
    // "Software\Microsoft\Windows\CurrentVersion\Uninstall\"
    std::string UninstallKey;
    // The installation folder, ending in a backslash.
    std::string InstallDir;
    // The uninstall entry that receives "EstimatedSize": the one that was found,
    // or the plain-view entry when none was.
    std::string SizeEntryKey;
};

// "Software\Microsoft\Windows\CurrentVersion\"
extern const char kCurrentVersionKey[];

// Fills `environment` for the product through registry objects with the shared
// one's access. True when every step ran; false after "No access to system
// registry" was shown (the current user's shell folders could not be read).
// Errors of the HKEY_LOCAL_MACHINE steps go on to the caller.
bool DiscoverEnvironment(const TRegistry& shared, SystemFacts& facts, const TMessenger& messages,
                         const std::string& productShortName, TEnvironmentRecord& environment);

}  // namespace lvm
