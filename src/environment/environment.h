// Where the application is installed, whether the user may install, and the
// uninstall key: found once at the start of the run.
#pragma once

#include <string>

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

// True when every step ran; false after "No access to system registry" was
// shown. Errors of the HKEY_LOCAL_MACHINE steps go on to the caller.
bool DiscoverEnvironment();

// Appends "\" to a non-empty path that does not end in one.
void AddTrailingBackslash(std::string& path);

}  // namespace lvm
