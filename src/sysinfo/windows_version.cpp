#include "sysinfo/windows_version.h"

#include "sysinfo/windows_facts.h"
#include "sysinfo/windows_names.h"

namespace lvm {

std::string DescribeWindows() {
    // No version numbers are printed, so facts that give only numbers are not gathered.
    const std::optional<TWindowsFacts> facts = GatherWindowsFacts(/*detail=*/false);
    if (!facts) return kUnknownWindows;
    const std::optional<TWindowsVersionParts> parts = ComposeWindowsVersionParts(*facts);
    if (!parts) return kUnknownWindows;
    return JoinWindowsDescription(*parts, /*detail=*/false);
}

}  // namespace lvm
