#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "common/scoped_handle.h"
#include "environment/environment.h"
#include "support/expected_texts.h"
#include "support/registry_override.h"
#include "support/scripted_ui.h"
#include "support/test_files.h"
#include "update/package_config.h"
#include "update/exit_codes.h"
#include "update/install_lock.h"
#include "update/run_update.h"

namespace lvm {
namespace {

using test::RegistryOverride;

constexpr char kEntry[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lingvaro";
constexpr int kYes = 6;
constexpr int kNo = 7;

using test::texts::kStartQuestion;

// Runs RunUpdate over a temporary installation with every machine-bound
// operation replaced by a recorder.
class UpdateFlow : public testing::Test {
protected:
    void SetUp() override {
        run.SharedRegistry.SetAccess(kDefaultRegistryAccess);
        installDir = folder.Path() + "\\";
        folder.WriteFile("Lingvaro.exe", std::string(2048, 'x'));

        seams.discoverEnvironment = [this] {
            calls.push_back("discover");
            run.Environment.IsAdmin = admin;
            run.Environment.UninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
            run.Environment.InstallDir = installDir;
            run.Environment.SizeEntryKey = kEntry;
            return discovered;
        };
        seams.appNotRunning = [this] {
            calls.push_back("appNotRunning");
            return !appRunning;
        };
        seams.tellAppToQuit = [this] {
            calls.push_back("quit:" + std::to_string(ui.Shown().size()));
            return TQuitRequest{};
        };
        seams.askAppElsewhereToClose = [this] { return std::move(elsewhere); };
        seams.waitForAppToExit = [this](const TQuitRequest&) {
            calls.push_back("waitForApp:" + std::to_string(ui.Shown().size()));
        };
        seams.startSelfCheck = [this] {
            return [this] {
                calls.push_back("selfCheck");
                return selfCheckPasses;
            };
        };
        seams.takeInstallLock = [this]() -> std::unique_ptr<TInstallLock> {
            calls.push_back("lock");
            if (anotherInstallation) return nullptr;
            return std::make_unique<RecordedLock>(calls);
        };
        seams.writeResource = [this](const std::string& name, const std::string& kind,
                                     const std::string& destination) {
            calls.push_back("write:" + name + ":" + kind + ":" + destination);
            return writeOutcome;
        };
        seams.writeSplitResource = [this](const std::string&, const std::string&, const std::string&) {
            calls.push_back("writeSplit");
            return writeOutcome;
        };
        seams.folderSizeKB = [this](const std::string& path, uint64_t bytesLeaving) {
            calls.push_back("size:" + path + (bytesLeaving ? " less " + std::to_string(bytesLeaving) : ""));
            return size;
        };
        seams.launchAndActivateApp = [this] { calls.push_back("launch"); };
    }

    // The options as the entry resolves them from these arguments.
    void Arguments(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "lvm0-setup.exe");
        t.options = ResolveRunOptions(ParseCommandLine(arguments));
    }

    // Records when the run lets go of the lock.
    class RecordedLock final : public TInstallLock {
    public:
        explicit RecordedLock(std::vector<std::string>& calls) : calls_(calls) {}
        ~RecordedLock() override { calls_.push_back("unlock"); }

    private:
        std::vector<std::string>& calls_;
    };

    bool Called(const std::string& call) const {
        for (const std::string& c : calls) {
            if (c == call || c.rfind(call + ":", 0) == 0) return true;
        }
        return false;
    }

    std::optional<DWORD> EstimatedSize() const {
        DWORD value = 0;
        if (!RegistryOverride::ReadDword(HKEY_LOCAL_MACHINE, kEntry, "EstimatedSize", &value)) return {};
        return value;
    }

    RegistryOverride redirect;
    test::TestRun t;
    test::ScriptedUserInterface& ui = t.ui;
    TRunContext& run = t.run;
    test::TempFolder folder;
    std::string installDir;
    TUpdateSeams seams;
    std::vector<std::string> calls;

    bool admin = true;
    bool discovered = true;
    bool appRunning = false;
    bool selfCheckPasses = true;
    bool anotherInstallation = false;
    std::vector<ScopedHandle> elsewhere;  // the application in other sessions, asked to close
    PayloadOutcome writeOutcome = PayloadOutcome::Written;
    int32_t size = 123;
};

TEST_F(UpdateFlow, EmptyInstallationFolderIsNoApplicationEvenBesideTheInstaller) {
    // "Lingvaro.exe" in the current folder must not count as the installation.
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(std::wstring(folder.Path().begin(), folder.Path().end()).c_str());
    installDir.clear();
    EXPECT_EQ(RunUpdate(run, seams), RunOutcome::Failed);
    SetCurrentDirectoryW(previous);
    ASSERT_EQ(ui.Shown().size(), 1u);
    EXPECT_EQ(ui.Shown()[0].text, test::texts::kNoSubjectEn);
    EXPECT_FALSE(Called("write"));
}

TEST_F(UpdateFlow, ClosingQuestionFollowsAnInstalledPackageOnlyAndModestRunAppStartsAnyway) {
    struct Case {
        PayloadOutcome written;
        bool modest;
        bool asked;     // the closing question comes
        bool launched;  // Yes to it, or runapp
        RunOutcome outcome;
        const char* sized = "size:";  // the size's call, with the bytes that go at the restart; null: none
        const char* second = "runapp";  // the second argument
    };
    const Case cases[] = {
        {PayloadOutcome::Written, false, true, true, RunOutcome::Installed},
        // The user kept the newer installed package: it is installed.
        {PayloadOutcome::KeptNewer, false, true, true, RunOutcome::KeptNewer},
        // Nothing was installed: no "... has been installed. Start it?".
        {PayloadOutcome::Failed, false, false, false, RunOutcome::Failed},
        // The deployer asked for the application to run afterwards.
        {PayloadOutcome::Failed, true, false, true, RunOutcome::Failed},
        // A modest run without it starts nothing.
        {PayloadOutcome::Written, true, false, false, RunOutcome::Installed, "size:", "other"},
        {PayloadOutcome::Written, true, false, false, RunOutcome::Installed, "size:", ""},
        // Kept for the restart: nothing is in place yet, nothing is started,
        // and the size leaves out the installed package that goes then.
        {PayloadOutcome::KeptForRestart, false, false, false, RunOutcome::RestartPending, " less 5000"},
        {PayloadOutcome::KeptForRestart, true, false, false, RunOutcome::RestartPending, " less 5000"},
        // Cancelled at the question about the held package: nothing changed.
        {PayloadOutcome::Cancelled, false, false, false, RunOutcome::Declined, nullptr},
    };
    folder.WriteFile("lvm0.pak", std::string(5000, 'p'));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.written)) + (c.modest ? " modest " : " interactive ") + c.second);
        ui = test::ScriptedUserInterface();
        calls.clear();
        writeOutcome = c.written;
        Arguments({c.modest ? "modest" : "", c.second});
        ui.Answer(kYes);
        ui.Answer(kYes);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lingvaro");
        EXPECT_EQ(RunUpdate(run, seams), c.outcome);
        EXPECT_EQ(EstimatedSize(), c.sized ? std::optional<DWORD>(123) : std::nullopt);
        const std::string sized = c.sized ? "size:" + installDir + (std::string(c.sized) == "size:" ? "" : c.sized) : "";
        EXPECT_EQ(std::count(calls.begin(), calls.end(), sized), c.sized ? 1 : 0) << sized;
        const size_t questions = (c.modest ? 0 : 1) + (c.asked ? 1 : 0);
        ASSERT_EQ(ui.Shown().size(), questions);
        if (c.asked) {
            EXPECT_EQ(ui.Shown().back().text, kStartQuestion);
        }
        EXPECT_EQ(Called("launch"), c.launched);
    }
}

TEST_F(UpdateFlow, SizeZeroIsWrittenAndMinusOneIsNot) {
    Arguments({"modest"});
    size = 0;
    RunUpdate(run, seams);
    EXPECT_EQ(EstimatedSize(), std::optional<DWORD>(0));

    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lingvaro");
    size = -1;
    RunUpdate(run, seams);
    EXPECT_FALSE(EstimatedSize().has_value());
}

TEST_F(UpdateFlow, AbsentUninstallKeyIsCreatedHoldingOnlyTheSize) {
    Arguments({"modest"});
    ASSERT_FALSE(RegistryOverride::KeyExists(HKEY_LOCAL_MACHINE, kEntry));
    RunUpdate(run, seams);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                            L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lingvaro", 0, KEY_READ,
                            &key),
              ERROR_SUCCESS);
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(key);
    EXPECT_EQ(values, 1u);
    EXPECT_EQ(EstimatedSize(), std::optional<DWORD>(123));
}

TEST_F(UpdateFlow, EarlyStopsRunNothingAfterThem) {
    discovered = false;
    EXPECT_EQ(RunUpdate(run, seams), RunOutcome::Failed);
    EXPECT_EQ(calls, std::vector<std::string>{"discover"});
    EXPECT_TRUE(ui.Shown().empty());

    discovered = true;
    admin = false;
    calls.clear();
    EXPECT_EQ(RunUpdate(run, seams), RunOutcome::Failed);
    EXPECT_EQ(calls, std::vector<std::string>{"discover"});  // a running app is left alone
    ASSERT_EQ(ui.Shown().size(), 1u);
    EXPECT_EQ(ui.Shown()[0].text, test::texts::kNoRightsEn);

    admin = true;
    selfCheckPasses = false;
    calls.clear();
    EXPECT_EQ(RunUpdate(run, seams), RunOutcome::Failed);
    EXPECT_EQ(calls, (std::vector<std::string>{"discover", "appNotRunning", "selfCheck"}));
    EXPECT_EQ(ui.Shown().size(), 1u);  // the check reports by itself
}

TEST_F(UpdateFlow, RunningAppIsToldToQuitBeforeAnyQuestionAndWaitedForBeforeTheWrite) {
    appRunning = true;
    ui.Answer(kNo);
    RunUpdate(run, seams);
    EXPECT_EQ(calls, (std::vector<std::string>{"discover", "appNotRunning", "quit:0", "selfCheck"}));

    // After consent (one box shown) and the install lock, before the package is written.
    calls.clear();
    ui.Answer(kYes);
    ui.Answer(kNo);
    RunUpdate(run, seams);
    ASSERT_GE(calls.size(), 7u);
    EXPECT_EQ(calls[3], "selfCheck");
    EXPECT_EQ(calls[4], "lock");
    EXPECT_EQ(calls[5], "waitForApp:2");
    EXPECT_EQ(calls[6].rfind("write:", 0), 0u) << calls[6];

    // Modest: straight after the check and the lock. Nothing running: no wait at all.
    calls.clear();
    Arguments({"modest"});
    RunUpdate(run, seams);
    ASSERT_GE(calls.size(), 6u);
    EXPECT_EQ(calls[5], "waitForApp:3");
    appRunning = false;
    calls.clear();
    RunUpdate(run, seams);
    EXPECT_FALSE(Called("waitForApp"));
    EXPECT_FALSE(Called("quit"));
}

// A run that nobody can answer (/quiet, or a window station nobody sees)
// shows no box: an error only ends the run with its code, a question takes
// the safe answer, No. The application is started afterwards only where a
// person can see it.
TEST_F(UpdateFlow, UnattendedRunsShowNothingAndEndWithTheCodesOfTheirSituation) {
    enum class Situation { Modest, ModestWithoutApplication, NoArguments, ModestRunApp };
    enum class Session { Interactive, Quiet, NotInteractive, QuietNotInteractive };
    struct Row {
        Situation situation;
        Session session;
        RunOutcome outcome;
        size_t boxes;
        bool launched;
    };
    const Row rows[] = {
        {Situation::Modest, Session::Interactive, RunOutcome::Installed, 0, false},
        {Situation::Modest, Session::Quiet, RunOutcome::Installed, 0, false},
        {Situation::Modest, Session::NotInteractive, RunOutcome::Installed, 0, false},
        {Situation::ModestWithoutApplication, Session::Interactive, RunOutcome::Failed, 1, false},
        {Situation::ModestWithoutApplication, Session::Quiet, RunOutcome::Failed, 0, false},
        {Situation::ModestWithoutApplication, Session::NotInteractive, RunOutcome::Failed, 0, false},
        {Situation::NoArguments, Session::Interactive, RunOutcome::Declined, 1, false},  // answered No
        {Situation::NoArguments, Session::Quiet, RunOutcome::Declined, 0, false},
        {Situation::NoArguments, Session::NotInteractive, RunOutcome::Declined, 0, false},
        {Situation::ModestRunApp, Session::Interactive, RunOutcome::Installed, 0, true},
        {Situation::ModestRunApp, Session::Quiet, RunOutcome::Installed, 0, true},
        {Situation::ModestRunApp, Session::NotInteractive, RunOutcome::Installed, 0, false},
        {Situation::ModestRunApp, Session::QuietNotInteractive, RunOutcome::Installed, 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(static_cast<int>(row.situation)) + "/" +
                     std::to_string(static_cast<int>(row.session)));
        ui = test::ScriptedUserInterface();
        ui.Answer(kNo);
        calls.clear();
        Arguments({row.situation == Situation::NoArguments ? "" : "modest",
                   row.situation == Situation::ModestRunApp ? "runapp" : ""});
        t.options.Quiet = row.session == Session::Quiet || row.session == Session::QuietNotInteractive;
        t.facts.stationVisible = row.session == Session::Interactive || row.session == Session::Quiet;
        if (row.situation == Situation::ModestWithoutApplication) folder.Remove("Lingvaro.exe");
        EXPECT_EQ(RunUpdate(run, seams), row.outcome);
        EXPECT_EQ(ui.Shown().size(), row.boxes);
        EXPECT_EQ(Called("launch"), row.launched);
        if (row.situation == Situation::ModestWithoutApplication) folder.WriteFile("Lingvaro.exe", "x");
    }
}

// The lock is taken after consent, before anything changes, and let go once
// the size is written; a run that cannot take it changes nothing and ends
// with 1618, saying so only where somebody can read it.
TEST_F(UpdateFlow, InstallLockCoversTheChangesAndABusyLockChangesNothing) {
    Arguments({"modest"});
    EXPECT_EQ(RunUpdate(run, seams), RunOutcome::Installed);
    std::vector<std::string> order;
    for (const std::string& call : calls) {
        const std::string name = call.substr(0, call.find(':'));
        if (name == "lock" || name == "write" || name == "size" || name == "unlock") order.push_back(name);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"lock", "write", "size", "unlock"}));

    anotherInstallation = true;
    size = 999;  // a busy run must not write it
    for (const bool quiet : {false, true}) {
        ui = test::ScriptedUserInterface();
        calls.clear();
        t.options.Quiet = quiet;
        EXPECT_EQ(RunUpdate(run, seams), RunOutcome::AnotherInstallation);
        EXPECT_FALSE(Called("write"));
        EXPECT_FALSE(Called("size"));
        EXPECT_FALSE(Called("launch"));
        EXPECT_EQ(EstimatedSize(), std::optional<DWORD>(123));
        if (quiet) {
            EXPECT_TRUE(ui.Shown().empty());
        } else {
            ASSERT_EQ(ui.Shown().size(), 1u);
            EXPECT_EQ(ui.Shown()[0].text,
                      "Another installation of this package is in progress.\r\nPlease, try again later.");
        }
    }
}

// The application in another session (found through the installed package)
// is waited for before the write even where this session shows no sign of it.
TEST_F(UpdateFlow, ApplicationInAnotherSessionIsWaitedForBeforeTheWrite) {
    Arguments({"modest"});
    elsewhere.emplace_back(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    RunUpdate(run, seams);
    ASSERT_GE(calls.size(), 5u);
    EXPECT_FALSE(Called("quit"));
    EXPECT_EQ(calls[3], "lock");
    EXPECT_EQ(calls[4], "waitForApp:0");
    calls.clear();
    RunUpdate(run, seams);  // nobody elsewhere now
    EXPECT_FALSE(Called("waitForApp"));
}

TEST_F(UpdateFlow, SplitPackageUsesTheSplitWriter) {
    t.config.SplitPackage = true;
    Arguments({"modest"});
    RunUpdate(run, seams);
    EXPECT_TRUE(Called("writeSplit"));
    EXPECT_FALSE(Called("write"));
}

TEST_F(UpdateFlow, SizeWriteFailureLeavesTheRunWithTheKeyClosed) {
    // A registry object that may read but not create: the open fails, the write raises.
    run.SharedRegistry.SetAccess(KEY_READ);
    ui.Answer(kYes);
    EXPECT_THROW(RunUpdate(run, seams), TRegistryError);
    EXPECT_FALSE(run.SharedRegistry.HasOpenKey());
    EXPECT_EQ(ui.Shown().size(), 1u);  // no closing question
    EXPECT_FALSE(Called("launch"));
}

}  // namespace
}  // namespace lvm
