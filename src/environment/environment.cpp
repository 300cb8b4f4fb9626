#include "environment/environment.h"

#include <exception>
#include <stdexcept>

#include "common/file_attributes.h"

namespace lvm {

const char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\";

namespace {

// A key opened (never created) for one step and read from: closed however
// the step is left.
class RootKeyScope {
public:
    RootKeyScope(const TRegistry& registry, HKEY root, const std::string& path)
        : scope_(registry, root, path, /*canCreate=*/false) {}

    // The value's text when it exists; otherwise `current` unchanged.
    std::string ReadInto(const std::string& name, const std::string& current) const {
        return ValueExists(name) ? scope_.Registry().ReadString(name) : current;
    }
    bool ValueExists(const std::string& name) const { return scope_.Registry().ValueExists(name); }

private:
    TRegistryKeyScope scope_;
};

// "ProgramFilesDir" with a trailing backslash; empty when it is missing.
std::string ReadProgramFilesDir(const TRegistry& registry) {
    RootKeyScope key(registry, HKEY_LOCAL_MACHINE, kCurrentVersionKey);
    std::string programFiles = key.ReadInto("ProgramFilesDir", std::string());
    AddTrailingBackslash(programFiles);
    return programFiles;
}

// Reads the current user's shell folders. The texts are not needed; reading
// them proves that the user's part of the registry can be read with strings
// where strings belong. Any error counts as no access.
bool CanReadUserShellFolders(const TRegistry& registry) {
    try {
        RootKeyScope key(registry, HKEY_CURRENT_USER,
                         std::string(kCurrentVersionKey) + "Explorer\\Shell Folders");
        for (const char* name : {"Programs", "Desktop", "Startup"}) key.ReadInto(name, std::string());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

using FileExists = std::function<bool(const std::string&)>;

// The folder of the entry's "UninstallString" when the value exists.
bool ReadUninstallFolder(const TRegistry& registry, const std::string& entryKey, const std::string& appFileName,
                         const FileExists& isExistingFile, std::string& folder) {
    RootKeyScope key(registry, HKEY_LOCAL_MACHINE, entryKey);
    if (!key.ValueExists("UninstallString")) return false;
    folder = UninstallCommandFolder(key.ReadInto("UninstallString", std::string()), isExistingFile, appFileName);
    return true;
}

bool FolderHoldsApplication(const std::string& folder, const std::string& appFileName,
                            const FileExists& isExistingFile) {
    return !folder.empty() && isExistingFile(folder + appFileName);
}

}  // namespace

bool DiscoverEnvironment(const TRegistry& shared, const TMachineSeams& machine, const TMessenger& messages,
                         const std::string& productShortName, const std::string& appFileName,
                         TEnvironmentRecord& environment,
                         const FileExists& isExistingFile) {
    const std::string programFiles = ReadProgramFilesDir(shared);
    environment.IsAdmin = machine.isUserAnAdmin();

    if (!CanReadUserShellFolders(shared)) {
        messages.Tell(Message::NoRegistryAccess);
        return false;
    }

    environment.UninstallKey = std::string(kCurrentVersionKey) + "Uninstall\\";
    environment.InstallDir = programFiles + productShortName;

    const std::string plainEntry = environment.UninstallKey + productShortName;
    environment.SizeEntryKey = plainEntry;
    // An entry counts as found only when its command names a folder: a value
    // without one tells nothing, and the 32-bit view may still hold the
    // installer's real entry.
    const bool foundPlain = ReadUninstallFolder(shared, plainEntry, appFileName, isExistingFile,
                                                environment.InstallDir) &&
                            !environment.InstallDir.empty();
    // A plain entry whose folder holds the application is the installation:
    // the other view is not opened.
    if (!foundPlain || !FolderHoldsApplication(environment.InstallDir, appFileName, isExistingFile)) {
        const std::string wowEntry = Wow6432NodePath(environment.UninstallKey) + productShortName;
        std::string wowFolder;
        // The size goes into the entry the application's installer wrote, not
        // into a new, otherwise empty entry in the other view.
        const bool foundWow = ReadUninstallFolder(shared, wowEntry, appFileName, isExistingFile, wowFolder);
        if (!foundPlain && foundWow) {
            environment.InstallDir = wowFolder;
            environment.SizeEntryKey = wowEntry;
        } else if (foundWow && FolderHoldsApplication(wowFolder, appFileName, isExistingFile)) {
            // A stale plain entry, left by a copy removed badly: the 32-bit
            // one names the folder where the application is.
            environment.EntryChoice = "the plain entry names " + environment.InstallDir + " which holds no " +
                                      appFileName + "; taking the 32-bit entry " + wowEntry + ", whose folder " +
                                      wowFolder + " holds it";
            environment.InstallDir = wowFolder;
            environment.SizeEntryKey = wowEntry;
        }
    }

    AddTrailingBackslash(environment.InstallDir);
    return true;
}

}  // namespace lvm
