#include "environment/environment.h"

#include "common/system_facts.h"
#include "lang/lang.h"
#include "update/package_config.h"

namespace lvm {

TEnvironmentRecord Environment;

void AddTrailingBackslash(std::string& path) {
    if (!path.empty() && path.back() != '\\') path += '\\';
}

// Interim discovery: the plain uninstall entry only.
bool DiscoverEnvironment() {
    const std::string currentVersionKey = "Software\\Microsoft\\Windows\\CurrentVersion\\";
    Environment.IsAdmin = CurrentSystemFacts().IsUserAnAdmin();
    Environment.UninstallKey = currentVersionKey + "Uninstall\\";
    Environment.SizeEntryKey = Environment.UninstallKey + PackageConfig.ProductShortName;
    TRegistry& registry = *SharedRegistry;
    registry.CloseKey();
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    if (registry.OpenKey(Environment.SizeEntryKey, false) && registry.ValueExists("UninstallString")) {
        const std::string value = registry.ReadString("UninstallString");
        const size_t slash = value.size() >= 2 ? value.find_last_of('\\', value.size() - 2)
                                               : std::string::npos;
        Environment.InstallDir = slash == std::string::npos ? std::string() : value.substr(0, slash + 1);
    }
    registry.CloseKey();
    AddTrailingBackslash(Environment.InstallDir);
    return true;
}

}  // namespace lvm
