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
class ProgressWindowCalls final : public ProgressCalls {
public:
    explicit ProgressWindowCalls(const TRunContext& run) : run_(run) {}
    void Hide() override { window_.Hide(); }
    void Show(const std::string& caption, const std::string& text) override {
        if (!run_.Unattended()) window_.Show(caption, text);
    }

private:
    const TRunContext& run_;
    ProgressWindow window_;
};

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
    SystemMessageBoxes boxes;
    WindowsSystemFacts facts;
    TRunContext run(config, options, boxes, facts);
    ProgressWindowCalls progress(run);
    int exitCode = kExitFailure;
    try {
        CommonStartup(run);
        exitCode = ExitCodeFor(RunUpdate(run, TUpdateOperations::Real(run, progress)));
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
