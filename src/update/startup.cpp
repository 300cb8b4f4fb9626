#include "update/startup.h"

#include "lang/lang.h"
#include "sysinfo/windows_names.h"
#include "sysinfo/windows_version.h"
#include "update/command_line.h"

namespace lvm {

void CommonStartup(TRunContext& run) {
    run.UseRussian = IsRussianLocale(run.facts.UserDefaultLcid());
    // Only the 64-bit flag is wanted from the description.
    run.IsWin64 = DescriptionMeans64Bit(DescribeWindows(false));
    run.SharedRegistry.SetAccess(run.IsWin64 ? kRegistryAccess64 : kDefaultRegistryAccess);
    run.CommandLine = ProcessCommandLine();
    run.StartSwitch = LoweredArgument(run.CommandLine, 1);
}

void CommonShutdown(TRunContext& run) { run.SharedRegistry.CloseKey(); }

}  // namespace lvm
