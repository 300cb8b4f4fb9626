// Exit codes of the installer, for the deployment tools that run it in
// "modest" mode. Stable: a code is never reused for another meaning.
#pragma once

#include "update/run_update.h"

namespace lvm {

constexpr int kExitInstalled = 0;        // the package is installed
constexpr int kExitKeptNewer = 1;        // the user kept the newer installed package
constexpr int kExitUserDeclined = 1602;  // the user said No to the consent question
constexpr int kExitFailure = 1603;       // a failure was reported (last-resort report included)
constexpr int kExitAnotherInstallation = 1618;  // another run held the lock too long: retry later
constexpr int kExitRestartRequired = 3010;      // the package is replaced at the next restart

inline int ExitCodeFor(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::Installed:
            return kExitInstalled;
        case RunOutcome::KeptNewer:
            return kExitKeptNewer;
        case RunOutcome::Declined:
            return kExitUserDeclined;
        case RunOutcome::AnotherInstallation:
            return kExitAnotherInstallation;
        case RunOutcome::RestartPending:
            return kExitRestartRequired;
        case RunOutcome::Failed:
            break;
    }
    return kExitFailure;
}

}  // namespace lvm
