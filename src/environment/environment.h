// Where the application is installed, whether the user may install, and the
// uninstall key: found once at the start of the run.
#pragma once

#include <string>

#include "environment/path_rules.h"

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

extern TEnvironmentRecord Environment;

// "Software\Microsoft\Windows\CurrentVersion\"
extern const char kCurrentVersionKey[];

// Fills Environment through SharedRegistry. True when every step ran; false
// after "No access to system registry" was shown (the current user's shell
// folders could not be read). Errors of the HKEY_LOCAL_MACHINE steps go on to
// the caller.
bool DiscoverEnvironment();

}  // namespace lvm
