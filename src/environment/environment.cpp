#include "environment/environment.h"

#include <exception>
#include <stdexcept>

#include "common/file_attributes.h"
#include "common/system_facts.h"
#include "lang/lang.h"
#include "update/package_config.h"

namespace lvm {

TEnvironmentRecord Environment;

const char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\";

namespace {

// A key opened (never created) for one step and read from: closed however
// the step is left.
class RootKeyScope {
public:
    RootKeyScope(TRegistry& registry, HKEY root, const std::string& path)
        : scope_(registry, root, path, /*canCreate=*/false) {}

    // The value's text when it exists; otherwise `current` unchanged.
    std::string ReadInto(const std::string& name, const std::string& current) const {
        return ValueExists(name) ? scope_.Registry().ReadString(name) : current;
    }
    bool ValueExists(const std::string& name) const { return scope_.Registry().ValueExists(name); }

private:
    TRegistryKeyScope scope_;
};

TRegistry& Registry() {
    if (!SharedRegistry) throw std::logic_error("The shared registry object does not exist");
    return *SharedRegistry;
}

// "ProgramFilesDir" with a trailing backslash; empty when it is missing.
std::string ReadProgramFilesDir(TRegistry& registry) {
    RootKeyScope key(registry, HKEY_LOCAL_MACHINE, kCurrentVersionKey);
    std::string programFiles = key.ReadInto("ProgramFilesDir", std::string());
    AddTrailingBackslash(programFiles);
    return programFiles;
}

// Reads the current user's shell folders. The texts are not needed; reading
// them proves that the user's part of the registry can be read with strings
// where strings belong. Any error counts as no access.
bool CanReadUserShellFolders(TRegistry& registry) {
    try {
        RootKeyScope key(registry, HKEY_CURRENT_USER,
                         std::string(kCurrentVersionKey) + "Explorer\\Shell Folders");
        for (const char* name : {"Programs", "Desktop", "Startup"}) key.ReadInto(name, std::string());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// The folder of the entry's "UninstallString" when the value exists.
bool ReadUninstallFolder(TRegistry& registry, const std::string& entryKey, std::string& folder) {
    RootKeyScope key(registry, HKEY_LOCAL_MACHINE, entryKey);
    if (!key.ValueExists("UninstallString")) return false;
    folder = UninstallCommandFolder(key.ReadInto("UninstallString", std::string()), IsExistingFile);
    return true;
}

}  // namespace

bool DiscoverEnvironment() {
    TRegistry& registry = Registry();
    const std::string programFiles = ReadProgramFilesDir(registry);
    Environment.IsAdmin = CurrentSystemFacts().IsUserAnAdmin();

    if (!CanReadUserShellFolders(registry)) {
        ShowErrorMessage("No access to system registry", "Нет доступа к системному реестру");
        return false;
    }

    const std::string& product = PackageConfig.ProductShortName;
    Environment.UninstallKey = std::string(kCurrentVersionKey) + "Uninstall\\";
    Environment.InstallDir = programFiles + product;

    const std::string plainEntry = Environment.UninstallKey + product;
    Environment.SizeEntryKey = plainEntry;
    // An entry counts as found only when its command names a folder: a value
    // without one tells nothing, and the 32-bit view may still hold the
    // installer's real entry.
    const bool foundPlain =
        ReadUninstallFolder(registry, plainEntry, Environment.InstallDir) && !Environment.InstallDir.empty();
    if (!foundPlain) {
        const std::string wowEntry = Wow6432NodePath(Environment.UninstallKey) + product;
        // The size goes into the entry the application's installer wrote, not
        // into a new, otherwise empty entry in the other view.
        if (ReadUninstallFolder(registry, wowEntry, Environment.InstallDir)) {
            Environment.SizeEntryKey = wowEntry;
        }
    }

    AddTrailingBackslash(Environment.InstallDir);
    return true;
}

}  // namespace lvm
