#include "update/entry.h"

#include <exception>
#include <string>

#include "progress/progress_window.h"
#include "update/exit_codes.h"
#include "update/run_update.h"
#include "update/startup.h"

namespace lvm {

namespace {

// The writer's calls into the run's progress window; a run that nobody
// watches shows none.
TProgressSeams ProgressWindowSeams(const TRunContext& run, TProgressWindow& window) {
    return {[&window] { window.Hide(); },
            [&run, &window](const std::string& caption, const std::string& text) {
                if (!run.Unattended()) window.Show(caption, text);
            }};
}

// The report for an error that no operation handles (registry failures of the
// environment steps and of the size write): one box, then the run is over.
void ReportUnhandledError(const TRunContext& run, const std::string& text) {
    run.Messenger().Tell(Message::UnhandledError, {text});
}

}  // namespace

int RunInstaller() {
    // Whole before anything else runs and read-only from here on, so that an
    // error at any later point is reported under the package's captions.
    const TPackageConfig config = PackageValues();
    const TRunOptions options = ProcessRunOptions();
    TRunContext run(config, options, SystemUserInterfaceSeams(), SystemMachineSeams());
    TProgressWindow window;
    const TProgressSeams progress = ProgressWindowSeams(run, window);
    int exitCode = kExitFailure;
    try {
        CommonStartup(run);
        exitCode = ExitCodeFor(RunUpdate(run, SystemUpdateSeams(run, progress)));
    } catch (const std::exception& error) {
        ReportUnhandledError(run, error.what());
        exitCode = kExitFailure;
    } catch (...) {
        ReportUnhandledError(run, "Unexpected error");
        exitCode = kExitFailure;
    }
    run.Log.Write("exit code " + std::to_string(exitCode));
    CommonShutdown(run);
    return exitCode;
}

}  // namespace lvm
