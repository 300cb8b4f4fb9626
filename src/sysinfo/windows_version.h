// A one-line description of the running Windows; the 64-bit flag is taken
// from it (DescriptionMeans64Bit).
#pragma once

#include <string>

namespace lvm {

// The name, the version numbers and the service-pack text of the running
// Windows, all emptied first; false when the platform is not recognised.
// A "ProductName" in the registry that is not a string raises RegistryError.
bool GetWindowsVersionParts(std::string& name, std::string& version, std::string& servicePack);

// For example "Microsoft Windows XP Professional Service Pack 3", or on later
// systems the registry's product name and " 64-bit"/" 32-bit"; the version
// numbers follow the name when detail is on. "unknown" when the platform is
// not recognised.
std::string DescribeWindows(bool detail);

}  // namespace lvm
