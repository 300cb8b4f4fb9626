#include "sysinfo/windows_version.h"

#include <windows.h>

namespace lvm {

bool IsWin64 = false;

// Interim description: the architecture only, until the full name tables land.
std::string DescribeWindows(bool /*detail*/) {
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    std::string description = "Microsoft Windows";
    if (info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64) description += " 64-bit";
    if (info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_INTEL) description += " 32-bit";
    IsWin64 = description.find(" 64") != std::string::npos;
    return description;
}

}  // namespace lvm
