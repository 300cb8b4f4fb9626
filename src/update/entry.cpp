#include "update/entry.h"

#include <exception>
#include <string>

#include "lang/lang.h"
#include "lang/user_interface.h"
#include "update/exit_codes.h"
#include "update/package_config.h"
#include "update/run_update.h"

namespace lvm {

namespace {

// The report for an error that no operation handles (registry failures of the
// environment steps and of the size write): one box, then the run is over.
void ReportUnhandledError(const std::string& text) {
    // An error during start-up comes before the run has set its captions.
    if (PackageConfig.CaptionEn.empty()) CompletePackageConfig();
    const std::string& caption = UseRussian ? PackageConfig.CaptionRu : PackageConfig.CaptionEn;
    CurrentUserInterface().ShowMessageBox(
        {text, caption, kErrorBoxStyle, UseRussian ? kRussianLanguageId : static_cast<unsigned short>(0)});
}

}  // namespace

int RunInstaller() {
    int exitCode = kExitFailure;
    try {
        CommonStartup();
        SetPackageValues();
        exitCode = ExitCodeFor(RunUpdate());
    } catch (const std::exception& error) {
        ReportUnhandledError(error.what());
        exitCode = kExitFailure;
    } catch (...) {
        ReportUnhandledError("Unexpected error");
        exitCode = kExitFailure;
    }
    CommonShutdown();
    return exitCode;
}

}  // namespace lvm
