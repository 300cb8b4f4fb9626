#include "update/startup.h"

#include "lang/lang.h"
#include "sysinfo/windows_names.h"
#include "sysinfo/windows_version.h"

namespace lvm {

void CommonStartup(TRunContext& run) {
    // The log first: it records everything after.
    run.Log.Open(run.Options.LogPath);
    run.Log.Write(LocalTimestamp() + " " + run.PackageConfig.ResourceName + "-setup, package " +
                  run.PackageConfig.ResourceName + " version " + run.PackageConfig.PackageVersionText +
                  ", command line: " + run.Options.Text);

    run.UseRussian = IsRussianLocale(run.Machine.userDefaultLcid());
    // Only the 64-bit flag is wanted from the description.
    run.IsWin64 = DescriptionMeans64Bit(DescribeWindows());
    run.SharedRegistry.SetAccess(run.IsWin64 ? kRegistryAccess64 : kDefaultRegistryAccess);
}

void CommonShutdown(TRunContext& run) { run.SharedRegistry.CloseKey(); }

}  // namespace lvm
