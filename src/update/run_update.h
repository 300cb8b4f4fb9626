// The update run: one pass from start to exit.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "handoff/hand_off.h"
#include "payload/payload_writer.h"
#include "update/install_lock.h"
#include "update/run_context.h"

namespace lvm {

// How a run ended; the entry point turns it into the exit code.
enum class RunOutcome {
    Installed,      // the package is in place (written, or an equal/newer one replaced)
    KeptNewer,      // the user kept the newer installed package
    Declined,       // the user said No to the consent question
    AnotherInstallation,  // another run held the install lock too long; nothing changed
    RestartPending, // the package stays held: it replaces the installed one at the next restart
    Failed,         // a failure was reported to the user
};

// The steps the run calls, so that tests can stand in for the ones that
// need a real machine. SystemUpdateSeams() gives the real ones over a run.
struct TUpdateSeams {
    std::function<bool()> discoverEnvironment;
    std::function<bool()> appNotRunning;
    std::function<TQuitRequest()> tellAppToQuit;
    // Instances of the application in other sessions that hold the installed
    // package, asked to close; open for waiting.
    std::function<std::vector<ScopedHandle>()> askAppElsewhereToClose;
    // Called before the package is written when the application was running.
    std::function<void(const TQuitRequest&)> waitForAppToExit;
    // Starts the self-check when the run starts; the verdict it gives waits
    // for the check, reports a failure and answers whether it passed. A
    // verdict dropped unasked stops the check and waits for its thread.
    std::function<std::function<bool()>()> startSelfCheck;
    // Null when another run holds the lock for the whole limit.
    std::function<std::unique_ptr<TInstallLock>()> takeInstallLock;
    std::function<PayloadOutcome(const std::string& name, const std::string& kind,
                                 const std::string& destination)>
        writeResource;
    std::function<PayloadOutcome(const std::string& name, const std::string& kind,
                                 const std::string& destination)>
        writeSplitResource;
    // The folder's size in KiB, less `bytesLeaving` (a file that goes at the
    // next restart); -1 when it cannot be sized.
    std::function<int32_t(const std::string& folder, uint64_t bytesLeaving)> folderSizeKB;
    std::function<void()> launchAndActivateApp;
};

TUpdateSeams SystemUpdateSeams(TRunContext& run, const TProgressSeams& progress);

// The run reads the package configuration and the options from `run`, as the
// entry made them; it changes only what it finds out (environment, log, ...).
RunOutcome RunUpdate(TRunContext& run, const TUpdateSeams& seams);

}  // namespace lvm
