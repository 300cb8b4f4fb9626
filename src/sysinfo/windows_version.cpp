#include "sysinfo/windows_version.h"

#include "sysinfo/windows_facts.h"
#include "sysinfo/windows_names.h"

namespace lvm {

bool IsWin64 = false;

bool GetWindowsVersionParts(std::string& name, std::string& version, std::string& servicePack) {
    name.clear();
    version.clear();
    servicePack.clear();
    const std::optional<WindowsFacts> facts = GatherWindowsFacts();
    if (!facts) return false;
    const std::optional<WindowsVersionParts> parts = ComposeWindowsVersionParts(*facts);
    if (!parts) return false;
    name = parts->name;
    version = parts->version;
    servicePack = parts->servicePack;
    return true;
}

std::string DescribeWindows(bool detail) {
    WindowsVersionParts parts;
    if (!GetWindowsVersionParts(parts.name, parts.version, parts.servicePack)) {
        return kUnknownWindows;
    }
    const std::string description = JoinWindowsDescription(parts, detail);
    IsWin64 = DescriptionMeans64Bit(description);
    return description;
}

}  // namespace lvm
