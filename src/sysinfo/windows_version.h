// A one-line description of the running Windows; the 64-bit flag is taken
// from it (DescriptionMeans64Bit).
#pragma once

#include <string>

namespace lvm {

// For example "Microsoft Windows XP Professional Service Pack 3", or on later
// systems the registry's product name and " 64-bit"/" 32-bit"; no version
// numbers. "unknown" when the platform is not recognised. A "ProductName" in
// the registry that is not a string raises TRegistryError.
std::string DescribeWindows();

}  // namespace lvm
