#include "update/run_update.h"

#include <windows.h>

#include "common/file_attributes.h"
#include "environment/environment.h"
#include "environment/folder_size.h"
#include "environment/path_rules.h"
#include "lang/lang.h"
#include "lang/user_interface.h"
#include "update/package_config.h"
#include "update/self_check.h"

namespace lvm {

bool ModestMode = false;

TUpdateOperations TUpdateOperations::Real() {
    TUpdateOperations ops;
    ops.discoverEnvironment = DiscoverEnvironment;
    ops.appNotRunning = AppNotRunning;
    ops.tellAppToQuit = TellAppToQuit;
    ops.waitForAppToExit = [](const QuitRequest& request) { WaitForAppToExit(request); };
    ops.selfCheck = RunSelfCheck;
    ops.writeResource = WriteResourceToFile;
    ops.writeSplitResource = WriteSplitResourceToFile;
    ops.folderSizeKB = FolderSizeKB;
    ops.launchAndActivateApp = LaunchAndActivateApp;
    ops.loweredArgument = LoweredArgument;
    return ops;
}

namespace {

bool AskConsent() {
    const TPackageConfig& config = PackageConfig;
    int answer;
    if (UseRussian) {
        answer = ShowRussianBox("Вы действительно хотите установить\r\n" + config.CaptionRu + " -\r\n" +
                                    config.FullTitle + "?",
                                "Резонный вопрос", kQuestionBoxStyle);
    } else {
        answer = ShowEnglishBox("Would you like to setup\r\n" + config.CaptionEn + " -\r\n" +
                                    config.FullTitle + "?",
                                "Sound question", kQuestionBoxStyle);
    }
    return answer == kAnswerYes;
}

// The closing question exists in Russian only, whatever the message language.
bool AskToStartApp() {
    const TPackageConfig& config = PackageConfig;
    return ShowRussianBox("На Ваш компьютер установлено\r\n" + config.CaptionRu + " -\r\n" +
                              config.FullTitle + "\r\n\r\nЗапустить программу?",
                          config.CaptionEn, kQuestionBoxStyle) == kAnswerYes;
}

void RecordInstalledSize(const TUpdateOperations& ops) {
    // Whether the open succeeded is not looked at: a key that could not be
    // opened makes the write below fail, and that failure ends the run. The
    // key is closed in every case.
    TRegistryKeyScope key(*SharedRegistry, HKEY_LOCAL_MACHINE, Environment.SizeEntryKey, /*canCreate=*/true);
    const int32_t size = ops.folderSizeKB(Environment.InstallDir);
    if (size != -1) key.Registry().WriteInteger("EstimatedSize", size);
}

}  // namespace

RunOutcome RunUpdate() { return RunUpdate(TUpdateOperations::Real()); }

RunOutcome RunUpdate(const TUpdateOperations& ops) {
    // Configuration: everything later reports under these captions.
    CompletePackageConfig();
    const std::string packageFileName = PackageFileName();

    // Environment.
    if (!ops.discoverEnvironment()) return RunOutcome::Failed;

    // Rights.
    if (!Environment.IsAdmin) {
        ShowErrorMessage("You have no right to install applications!",
                         "У Вас нет права устанавливать программы!");
        return RunOutcome::Failed;
    }

    // A running application is told to quit before anything is asked; it
    // closes while the questions are up, and the write waits for it below.
    const bool appWasRunning = !ops.appNotRunning();
    QuitRequest quitRequest;
    if (appWasRunning) quitRequest = ops.tellAppToQuit();

    // Integrity of the installer's own file.
    if (!ops.selfCheck()) return RunOutcome::Failed;

    // Switch.
    ModestMode = StartSwitch == "modest";

    // Application present. An empty or relative folder (no uninstall entry
    // and no "ProgramFilesDir" gives "Lingvaro\") would be taken from the
    // current folder, often where the installer was downloaded, which is
    // never the installation.
    if (!IsAbsoluteFolder(Environment.InstallDir) ||
        !IsExistingFile(Environment.InstallDir + "Lingvaro.exe")) {
        ShowErrorMessage(
            "There's no subject of update - the Lingvaro installed.\r\n"
            "Please, install the program at first.",
            "Нет предмета обновления - установленной программы Lingvaro.\r\n"
            "Пожалуйста, сначала установите программу.");
        return RunOutcome::Failed;
    }

    // Consent.
    if (!ModestMode && !AskConsent()) return RunOutcome::Declined;

    // An application that still holds its package open would make the replace
    // fail, or race it. When the wait runs out the writer reports its own failure.
    if (appWasRunning) ops.waitForAppToExit(quitRequest);

    // Package. The run goes on whatever the writer did; it has told the user.
    const std::string target = Environment.InstallDir + packageFileName;
    PayloadOutcome written;
    if (PackageConfig.ResourceName == "lvq") {
        written = ops.writeSplitResource(PackageConfig.ResourceName, PackageConfig.ResourceType, target);
    } else {
        written = ops.writeResource(PackageConfig.ResourceName, PackageConfig.ResourceType, target, true);
    }

    // Installed size. Registry errors here are not handled: they end the run.
    RecordInstalledSize(ops);

    // Hand-off. After a failed write nothing was installed, so the closing
    // question ("... has been installed. Start the program?") is not asked. A
    // modest run still starts the application: the deployer asked for it to
    // run afterwards, and this run may have closed it.
    if (ModestMode) {
        if (ops.loweredArgument(2) == "runapp") ops.launchAndActivateApp();
    } else if (written != PayloadOutcome::Failed && AskToStartApp()) {
        ops.launchAndActivateApp();
    }

    switch (written) {
        case PayloadOutcome::Written:
            return RunOutcome::Installed;
        case PayloadOutcome::KeptNewer:
            return RunOutcome::KeptNewer;
        case PayloadOutcome::Failed:
            break;
    }
    return RunOutcome::Failed;
}

}  // namespace lvm
