#include "sysinfo/windows_version.h"

#include "sysinfo/windows_facts.h"
#include "sysinfo/windows_names.h"

namespace lvm {

namespace {

std::optional<WindowsVersionParts> ComposeParts(bool detail) {
    const std::optional<WindowsFacts> facts = GatherWindowsFacts(detail);
    if (!facts) return std::nullopt;
    return ComposeWindowsVersionParts(*facts);
}

}  // namespace

bool GetWindowsVersionParts(std::string& name, std::string& version, std::string& servicePack) {
    name.clear();
    version.clear();
    servicePack.clear();
    const std::optional<WindowsVersionParts> parts = ComposeParts(true);
    if (!parts) return false;
    name = parts->name;
    version = parts->version;
    servicePack = parts->servicePack;
    return true;
}

std::string DescribeWindows(bool detail) {
    // Without detail no version numbers are printed, and facts that give only
    // numbers are not gathered.
    const std::optional<WindowsVersionParts> parts = ComposeParts(detail);
    if (!parts) return kUnknownWindows;
    return JoinWindowsDescription(*parts, detail);
}

}  // namespace lvm
