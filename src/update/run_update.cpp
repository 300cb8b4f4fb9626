#include "update/run_update.h"

#include <windows.h>

#include <cstdio>
#include <memory>

#include "common/file_attributes.h"
#include "environment/environment.h"
#include "environment/folder_size.h"
#include "environment/path_rules.h"
#include "handoff/app_elsewhere.h"
#include "handoff/held_package.h"
#include "selfcheck/self_check.h"

namespace lvm {

namespace {

TAppLocation AppLocation(const TRunContext& run) {
    return {run.Environment.InstallDir, run.PackageConfig.ApplicationExecutable, run.PackageConfig.MainWindowClass};
}

// Where the package goes: the installation folder and the package's file name.
std::string PackagePath(const TRunContext& run) {
    return run.Environment.InstallDir + run.PackageConfig.PackageFileName;
}

// This process's id and start time: no other run on the machine has both.
std::string RunTag() {
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    char tag[32];
    std::snprintf(tag, sizeof tag, "%lu-%08lx%08lx", GetCurrentProcessId(), created.dwHighDateTime,
                  created.dwLowDateTime);
    return tag;
}

TPayloadSeams PayloadSeams(const TMessenger& messages, const TProgressSeams& progress) {
    const HeldFileDecision whenHeld = [&messages](const std::string& package) {
        return AnswerWhenPackageHeld(SystemRestartManagerSeams(), messages, package);
    };
    return {messages, progress, GetModuleHandleW(nullptr), TStagingSeams(), SystemRetrySeams(), whenHeld, RunTag()};
}

}  // namespace

TUpdateSeams SystemUpdateSeams(TRunContext& run, const TProgressSeams& progress) {
    TUpdateSeams seams;
    seams.discoverEnvironment = [&run] {
        return DiscoverEnvironment(run.SharedRegistry, run.Machine, run.Messenger(), run.PackageConfig.ProductShortName,
                                   run.PackageConfig.ApplicationExecutable, run.Environment);
    };
    seams.appNotRunning = AppNotRunning;
    seams.tellAppToQuit = [&run] { return TellAppToQuit(AppLocation(run)); };
    seams.askAppElsewhereToClose = [&run] {
        const TAppLocation app = AppLocation(run);
        const std::string package = PackagePath(run);
        // Only an installed package can be held; a folder that is no
        // installation has nobody to ask.
        if (!IsAbsoluteFolder(app.installDir) || !IsExistingFile(package)) return std::vector<ScopedHandle>();
        return AskApplicationElsewhereToClose(SystemRestartManagerSeams(), package, app.ExecutablePath());
    };
    seams.waitForAppToExit = [](const TQuitRequest& request) { WaitForAppToExit(request); };
    seams.startSelfCheck = [&run]() -> std::function<bool()> {
        const auto check = std::make_shared<TBackgroundSelfCheck>();
        return [&run, check] { return ReportSelfCheck(check->Verdict(), run.Messenger()); };
    };
    seams.takeInstallLock = [] { return TakeInstallLock(); };
    seams.writeResource = [&run, &progress](const std::string& name, const std::string& kind,
                                            const std::string& destination) {
        const TMessenger messages = run.Messenger();
        return WriteResourceToFile(PayloadSeams(messages, progress), name, kind, destination);
    };
    seams.writeSplitResource = [&run, &progress](const std::string& name, const std::string& kind,
                                                 const std::string& destination) {
        const TMessenger messages = run.Messenger();
        return WriteSplitResourceToFile(PayloadSeams(messages, progress), name, kind, destination);
    };
    seams.folderSizeKB = FolderSizeKB;
    seams.launchAndActivateApp = [&run] { LaunchAndActivateApp(AppLocation(run)); };
    return seams;
}

namespace {

// `bytesLeaving`: a file that the next restart removes (the installed
// package that a kept one replaces); the size is the folder's after it.
void RecordInstalledSize(const TRunContext& run, const TUpdateSeams& seams, uint64_t bytesLeaving) {
    // Whether the open succeeded is not looked at: a key that could not be
    // opened makes the write below fail, and that failure ends the run. The
    // key is closed in every case.
    TRegistryKeyScope key(run.SharedRegistry, HKEY_LOCAL_MACHINE, run.Environment.SizeEntryKey,
                          /*canCreate=*/true);
    const int32_t size = seams.folderSizeKB(run.Environment.InstallDir, bytesLeaving);
    if (size != -1) key.Registry().WriteInteger("EstimatedSize", size);
    run.Log.Write(size != -1 ? "EstimatedSize: " + std::to_string(size) + " KB"
                             : std::string("EstimatedSize: not written (the folder could not be sized)"));
}

const char* OutcomeText(PayloadOutcome written) {
    switch (written) {
        case PayloadOutcome::Written:
            return "written";
        case PayloadOutcome::KeptNewer:
            return "kept the newer installed one";
        case PayloadOutcome::KeptForRestart:
            return "held by another program: the new one replaces it at the next restart";
        case PayloadOutcome::Cancelled:
            return "held by another program: cancelled, nothing changed";
        case PayloadOutcome::Failed:
            break;
    }
    return "failed";
}

// The outcomes after which the package in place is one the run may announce.
bool InPlace(PayloadOutcome written) {
    return written == PayloadOutcome::Written || written == PayloadOutcome::KeptNewer;
}

}  // namespace

RunOutcome RunUpdate(TRunContext& run, const TUpdateSeams& seams) {
    const TPackageConfig& config = run.PackageConfig;
    const TRunOptions& options = run.Options;
    const TEnvironmentRecord& environment = run.Environment;
    const TMessenger messages = run.Messenger();
    // The check of the installer's own file reads and hashes all of it: it
    // runs from here on beside the steps up to its verdict, which nothing
    // that changes the installation comes before.
    const std::function<bool()> selfCheckVerdict = seams.startSelfCheck();

    // Environment.
    if (!seams.discoverEnvironment()) return RunOutcome::Failed;
    if (!environment.EntryChoice.empty()) run.Log.Write(environment.EntryChoice);
    run.Log.Write("installation folder: " + environment.InstallDir + " (uninstall entry " +
                  environment.SizeEntryKey + ")");
    run.Log.Write(std::string("administrator: ") + (environment.IsAdmin ? "yes" : "no"));

    // Rights.
    if (!environment.IsAdmin) {
        messages.Tell(Message::NoRights);
        return RunOutcome::Failed;
    }

    // A running application is told to quit before anything is asked; it
    // closes while the questions are up, and the write waits for it below.
    const bool appRunningHere = !seams.appNotRunning();
    TQuitRequest quitRequest;
    if (appRunningHere) quitRequest = seams.tellAppToQuit();
    quitRequest.elsewhere = seams.askAppElsewhereToClose();
    const bool appWasRunning = appRunningHere || !quitRequest.elsewhere.empty();
    run.Log.Write(appRunningHere ? "application running in this session: told to quit"
                                 : "application running in this session: no");
    run.Log.Write("application holding the package in other sessions: " +
                  std::to_string(quitRequest.elsewhere.size()) + " asked to close");

    // Integrity of the installer's own file.
    const bool selfCheckPassed = selfCheckVerdict();
    run.Log.Write(std::string("self-check: ") + (selfCheckPassed ? "passed" : "failed"));
    if (!selfCheckPassed) return RunOutcome::Failed;

    // Application present. An empty or relative folder (no uninstall entry
    // and no "ProgramFilesDir" gives "Lingvaro\") would be taken from the
    // current folder, often where the installer was downloaded, which is
    // never the installation.
    if (!IsAbsoluteFolder(environment.InstallDir) ||
        !IsExistingFile(AppLocation(run).ExecutablePath())) {
        messages.Tell(Message::NoSubjectOfUpdate);
        return RunOutcome::Failed;
    }

    // Consent.
    if (!options.ModestMode && !messages.Ask(Message::Consent)) {
        run.Log.Write(run.Unattended() ? "no consent: without modest nobody can give it; nothing changed"
                                       : "no consent: nothing changed");
        return RunOutcome::Declined;
    }

    // One run at a time changes the installation, until the size is written.
    std::unique_ptr<TInstallLock> lock = seams.takeInstallLock();
    if (!lock) {
        run.Log.Write("another installation held the lock for the whole wait: nothing changed");
        messages.Tell(Message::AnotherInstallation);
        return RunOutcome::AnotherInstallation;
    }

    // An application that still holds its package open would make the replace
    // fail, or race it. When the wait runs out the writer reports its own failure.
    if (appWasRunning) {
        const ULONGLONG waitStart = GetTickCount64();
        seams.waitForAppToExit(quitRequest);
        run.Log.Write("waited " + std::to_string(GetTickCount64() - waitStart) + " ms for the application to exit");
    }

    // Package. The run goes on whatever the writer did; it has told the user.
    const std::string target = PackagePath(run);
    const PayloadOutcome written = config.SplitPackage
                                       ? seams.writeSplitResource(config.ResourceName, config.ResourceType, target)
                                       : seams.writeResource(config.ResourceName, config.ResourceType, target);

    run.Log.Write("package " + target + ": " + OutcomeText(written));

    // Installed size, as it is after the restart when the package waits for
    // one. Registry errors here are not handled: they end the run. A
    // cancelled run changes nothing.
    if (written != PayloadOutcome::Cancelled) {
        RecordInstalledSize(run, seams, written == PayloadOutcome::KeptForRestart ? FileBytes(target) : 0);
    }
    lock.reset();

    // Hand-off. After a failed write nothing was installed, so the closing
    // question ("... has been installed. Start the program?") is not asked. A
    // modest run still starts the application: the deployer asked for it to
    // run afterwards, and this run may have closed it.
    // The closing question exists in Russian only, whatever the message language.
    // A window station nobody sees (a service) gets no application: it would
    // run where nobody can use it. A package kept for the restart is not in
    // place yet: the application is neither offered nor started.
    if (written == PayloadOutcome::KeptForRestart) {
        run.Log.Write("application not started: the package is replaced at the next restart");
    } else if (options.ModestMode) {
        if (!options.RunApp) {
            run.Log.Write("application not started: no runapp");
        } else if (!run.Machine.windowStationVisible()) {
            run.Log.Write("application not started: nobody sees this window station");
        } else {
            run.Log.Write("application started (runapp)");
            seams.launchAndActivateApp();
        }
    } else if (InPlace(written) && messages.Ask(Message::StartApp)) {
        run.Log.Write("application started");
        seams.launchAndActivateApp();
    } else {
        run.Log.Write("application not started");
    }

    switch (written) {
        case PayloadOutcome::Written:
            return RunOutcome::Installed;
        case PayloadOutcome::KeptNewer:
            return RunOutcome::KeptNewer;
        case PayloadOutcome::KeptForRestart:
            return RunOutcome::RestartPending;
        case PayloadOutcome::Cancelled:
            return RunOutcome::Declined;
        case PayloadOutcome::Failed:
            break;
    }
    return RunOutcome::Failed;
}

}  // namespace lvm
