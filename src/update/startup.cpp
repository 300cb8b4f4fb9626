#include "update/startup.h"

#include <windows.h>

#include "common/text.h"
#include "lang/lang.h"
#include "sysinfo/windows_names.h"
#include "sysinfo/windows_version.h"
#include "update/command_line.h"

namespace lvm {

void CommonStartup(TRunContext& run) {
    // The command line first: the log it may ask for records everything after.
    run.CommandLine = ProcessCommandLine();
    run.StartSwitch = LoweredArgument(run.CommandLine, 1);
    run.Log.Open(run.CommandLine.logPath);
    run.Log.Write(LocalTimestamp() + " " + run.PackageConfig.ResourceName + "-setup, package " +
                  run.PackageConfig.ResourceName + " version " + PackageVersionText(run.PackageConfig) +
                  ", command line: " +
                  Narrow(GetCommandLineW()));

    run.UseRussian = IsRussianLocale(run.facts.UserDefaultLcid());
    // Only the 64-bit flag is wanted from the description.
    run.IsWin64 = DescriptionMeans64Bit(DescribeWindows());
    run.SharedRegistry.SetAccess(run.IsWin64 ? kRegistryAccess64 : kDefaultRegistryAccess);
}

void CommonShutdown(TRunContext& run) { run.SharedRegistry.CloseKey(); }

}  // namespace lvm
