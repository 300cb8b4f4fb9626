// Where the application is installed, whether the user may install, and the
// uninstall key: found once at the start of the run.
#pragma once

#include <functional>
#include <string>

#include "common/file_attributes.h"
#include "common/machine_seams.h"
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
    // Why the 32-bit view's entry was taken over the plain one, for the log;
    // empty when the plain entry was taken or was missing.
    std::string EntryChoice;
};

// "Software\Microsoft\Windows\CurrentVersion\"
extern const char kCurrentVersionKey[];

// Fills `environment` for the product through registry objects with the shared
// one's access. True when every step ran; false after "No access to system
// registry" was shown (the current user's shell folders could not be read).
// Errors of the HKEY_LOCAL_MACHINE steps go on to the caller.
//
// The plain view's entry is taken when it names a folder; the 32-bit view's
// entry only when the plain one is missing, or when the plain one's folder
// holds no application and the 32-bit one's does (a stale entry left by a
// removed copy must not hide the installed one). `isExistingFile` is the
// file system's answer; tests give their own.
// `productShortName` names the folder and the uninstall entry, `appFileName`
// the application's file in the folder.
bool DiscoverEnvironment(const TRegistry& shared, const TMachineSeams& machine, const TMessenger& messages,
                         const std::string& productShortName, const std::string& appFileName,
                         TEnvironmentRecord& environment,
                         const std::function<bool(const std::string&)>& isExistingFile = IsExistingFile);

}  // namespace lvm
