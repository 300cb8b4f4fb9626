#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/scoped_handle.h"
#include "common/text.h"
#include "handoff/app_elsewhere.h"
#include "handoff/hand_off.h"
#include "handoff/held_package.h"
#include "support/scripted_ui.h"
#include "support/test_paths.h"
#include "update/install_lock.h"
#include "update/process_hardening.h"
#include "update/run_update.h"

namespace lvm {
namespace {

// ---------------------------------------------------------------- the waits

// An application that comes up at a chosen poll, recorded call by call.
struct ScriptedApp {
    int mappingAtPoll = 0;  // first application-phase poll that sees the mapping; 0: never
    int windowAtPoll = 0;   // first window-phase poll that finds the window; 0: never

    std::vector<std::string> events;
    int mappingPolls = 0;
    int windowPolls = 0;
    WindowRef activated = nullptr;

    static WindowRef MainWindow() {
        static int window;
        return &window;
    }

    THandOffSeams Hooks() {
        THandOffSeams hooks;
        hooks.launch = [this] { events.push_back("launch"); };
        hooks.sleep = [this](uint32_t ms) { events.push_back("sleep " + std::to_string(ms)); };
        hooks.appNotRunning = [this] {
            events.push_back("mapping?");
            ++mappingPolls;
            return mappingAtPoll == 0 || mappingPolls < mappingAtPoll;
        };
        hooks.findMainWindow = [this]() -> WindowRef {
            events.push_back("window?");
            ++windowPolls;
            return windowAtPoll != 0 && windowPolls >= windowAtPoll ? MainWindow() : nullptr;
        };
        hooks.activate = [this](WindowRef window) {
            events.push_back("activate");
            activated = window;
        };
        return hooks;
    }

    int Count(const std::string& event) const {
        int n = 0;
        for (const std::string& e : events) n += e == event;
        return n;
    }
};

// Each poll directly follows a sleep of its phase: no poll comes before the
// first sleep, and none comes without a sleep of its own.
void ExpectEachPollAfterItsSleep(const std::vector<std::string>& events) {
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i] == "mapping?") {
            ASSERT_GT(i, 0u);
            EXPECT_EQ(events[i - 1], "sleep 512") << "poll " << i;
        } else if (events[i] == "window?") {
            ASSERT_GT(i, 0u);
            EXPECT_EQ(events[i - 1], "sleep 1024") << "poll " << i;
        }
    }
}

TEST(HandOffWaits, ApplicationThatNeverComesUpGetsEightSleepsOf512AndNoWindowSearch) {
    ScriptedApp app;
    EXPECT_EQ(HandOffToApp(app.Hooks()), HandOffOutcome::AppNeverCameUp);

    std::vector<std::string> expected{"launch"};
    for (int i = 0; i < 8; ++i) {
        expected.push_back("sleep 512");
        expected.push_back("mapping?");
    }
    EXPECT_EQ(app.events, expected);
}

TEST(HandOffWaits, MappingFirstSeenAtAPollEndsTheApplicationPhaseThereAndOnlyBeforeTheEighth) {
    for (int poll = 1; poll <= 8; ++poll) {
        SCOPED_TRACE("mapping first seen at poll " + std::to_string(poll));
        ScriptedApp app;
        app.mappingAtPoll = poll;
        app.windowAtPoll = 1;
        const HandOffOutcome outcome = HandOffToApp(app.Hooks());

        EXPECT_EQ(app.mappingPolls, poll);
        EXPECT_EQ(app.Count("sleep 512"), poll);
        ExpectEachPollAfterItsSleep(app.events);
        if (poll < 8) {
            EXPECT_EQ(outcome, HandOffOutcome::Activated);
            EXPECT_EQ(app.windowPolls, 1);
        } else {
            // The counter has reached 8: the hand-off ends without a window search.
            EXPECT_EQ(outcome, HandOffOutcome::AppNeverCameUp);
            EXPECT_EQ(app.windowPolls, 0);
            EXPECT_EQ(app.Count("sleep 1024"), 0);
        }
    }
}

TEST(HandOffWaits, RunningApplicationEndsTheApplicationPhaseAtItsFirstPoll) {
    // The run still holds the mapping of the application it saw at the start.
    ScriptedApp app;
    app.mappingAtPoll = 1;
    app.windowAtPoll = 1;
    EXPECT_EQ(HandOffToApp(app.Hooks()), HandOffOutcome::Activated);

    const std::vector<std::string> expected{"launch",     "sleep 512", "mapping?",
                                            "sleep 1024", "window?",   "activate"};
    EXPECT_EQ(app.events, expected);
    EXPECT_EQ(app.activated, ScriptedApp::MainWindow());
}

TEST(HandOffWaits, WindowFirstFoundAtAPollIsActivatedOnlyBeforeTheEleventh) {
    for (int poll = 0; poll <= 12; ++poll) {
        SCOPED_TRACE(poll == 0 ? std::string("window never found")
                               : "window first found at poll " + std::to_string(poll));
        ScriptedApp app;
        app.mappingAtPoll = 2;
        app.windowAtPoll = poll;
        const HandOffOutcome outcome = HandOffToApp(app.Hooks());

        const bool foundInTime = poll >= 1 && poll <= 10;
        const int expectedPolls = foundInTime ? poll : 11;
        EXPECT_EQ(app.windowPolls, expectedPolls);
        EXPECT_EQ(app.Count("sleep 1024"), expectedPolls);
        EXPECT_EQ(app.mappingPolls, 2);
        ExpectEachPollAfterItsSleep(app.events);
        if (foundInTime) {
            EXPECT_EQ(outcome, HandOffOutcome::Activated);
            EXPECT_EQ(app.activated, ScriptedApp::MainWindow());
            EXPECT_EQ(app.events.back(), "activate");
        } else {
            EXPECT_EQ(outcome, HandOffOutcome::WindowNeverFound);
            EXPECT_EQ(app.Count("activate"), 0);
        }
    }
}

TEST(HandOffWaits, ExitWaitLooksAtOnceThenEvery100MsAndGivesUpAt10Seconds) {
    struct Case {
        int goneAtLook;        // first look that sees the application gone; 0: never
        bool expected;
        int expectedSleeps;
    };
    const Case cases[] = {
        {1, true, 0},        // already gone: no sleep at all
        {2, true, 1},
        {16, true, 15},      // 1.5 s of shutdown
        {101, true, 100},    // gone at the very last look, at 10 s
        {102, false, 100},   // one look too late
        {0, false, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("gone at look " + std::to_string(c.goneAtLook));
        uint32_t clock = 0xFFFFF000u;  // near the wrap: only differences count
        int looks = 0;
        std::vector<uint32_t> sleeps;
        TAppExitSeams hooks;
        hooks.appGone = [&] { return ++looks, c.goneAtLook != 0 && looks >= c.goneAtLook; };
        hooks.sleep = [&](uint32_t ms) {
            sleeps.push_back(ms);
            clock += ms;
        };
        hooks.now = [&] { return clock; };
        EXPECT_EQ(WaitForAppExit(hooks), c.expected);
        EXPECT_EQ(static_cast<int>(sleeps.size()), c.expectedSleeps);
        for (uint32_t ms : sleeps) EXPECT_EQ(ms, 100u);
    }
}

TEST(HandOffWaits, ApplicationStartsThroughTheDesktopShellAndDirectlyOnlyWithoutIt) {
    for (const bool shellAvailable : {true, false}) {
        std::vector<std::string> tried;
        TAppStartSeams routes;
        routes.throughDesktopShell = [&] {
            tried.push_back("desktop shell");
            return shellAvailable;
        };
        routes.directly = [&] { tried.push_back("direct"); };
        const AppStartRoute route = StartApp(routes);
        if (shellAvailable) {
            EXPECT_EQ(route, AppStartRoute::DesktopShell);
            EXPECT_EQ(tried, std::vector<std::string>{"desktop shell"}) << "started twice";
        } else {
            EXPECT_EQ(route, AppStartRoute::Direct);
            EXPECT_EQ(tried, (std::vector<std::string>{"desktop shell", "direct"}));
        }
    }
}

// A second run waits for the lock slice by slice on its clock, and gives up
// once the limit has passed without it.
TEST(InstallLockWaits, TakenAtOnceLaterOrNeverWithinTheMinute) {
    struct Row {
        uint32_t freeAfterMs;  // UINT32_MAX: never
        bool taken;
        uint32_t lastAttemptAtMs;
    };
    const Row rows[] = {{0, true, 0}, {30500, true, 30000}, {60000, true, 59000}, {UINT32_MAX, false, 59000}};
    for (const Row& row : rows) {
        uint32_t clock = 0xFFFFF000u;  // wraps during the wait
        const uint32_t start = clock;
        uint32_t lastAttempt = 0;
        TInstallLockSeams hooks;
        hooks.now = [&clock] { return clock; };
        hooks.tryTake = [&](uint32_t milliseconds) {
            lastAttempt = clock - start;
            // Waiting takes the time the lock was asked to wait for, or until it is free.
            const uint32_t waited = clock - start;
            if (row.freeAfterMs != UINT32_MAX && waited + milliseconds >= row.freeAfterMs) {
                clock = start + std::max(waited, row.freeAfterMs);
                return true;
            }
            clock += milliseconds;
            return false;
        };
        EXPECT_EQ(WaitForInstallLock(hooks), row.taken) << row.freeAfterMs;
        EXPECT_EQ(lastAttempt, row.lastAttemptAtMs) << row.freeAfterMs;
        EXPECT_LE(clock - start, 60000u) << "waited past the limit";
    }
}

// The machine-wide lock itself: while one run holds it, another thread's
// attempt fails at its limit; once it is let go, it is taken.
TEST(InstallLockWaits, RealLockIsExclusiveUntilLetGo) {
    std::unique_ptr<TInstallLock> first = TakeInstallLock(0);
    ASSERT_NE(first, nullptr);
    auto takeElsewhere = [](uint32_t limitMs) {
        bool taken = false;
        std::thread other([&] { taken = TakeInstallLock(limitMs) != nullptr; });
        other.join();
        return taken;
    };
    EXPECT_FALSE(takeElsewhere(50));
    first.reset();
    EXPECT_TRUE(takeElsewhere(0));
}

// The Restart Manager's list, scripted (it is a stub under Wine): only the
// application of the installation folder is asked to close, in any session;
// a foreign holder is never touched; a failure changes nothing.
struct ScriptedRestartManager {
    TRestartManagerSeams Seams() {
        return {[this](const std::string& file) {
                    queried.push_back(file);
                    return holders;
                },
                [this](const std::vector<TFileHolder>& processes) {
                    for (const TFileHolder& p : processes) asked.push_back(p.processId);
                    return true;
                }};
    }
    std::optional<std::vector<TFileHolder>> holders;
    std::vector<std::string> queried;
    std::vector<uint32_t> asked;
};

TEST(AppElsewhere, OnlyTheApplicationOfTheFolderIsAskedAndOpenedForWaiting) {
    // This test process stands in for the application in another session: a
    // real process with a real start time, which the run must open for waiting.
    FILETIME created{}, exited{}, kernel{}, user{};
    ASSERT_TRUE(GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user));
    const uint64_t startTime = (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    const uint32_t self = GetCurrentProcessId();
    const std::string appExe = "C:\\Lingvaro\\Lingvaro.exe";
    const TFileHolder application{self, startTime, "c:\\LINGVARO\\lingvaro.exe", ""};
    const TFileHolder reusedId{self, startTime + 1, appExe, ""};  // the id now names another process
    const TFileHolder backup{4242, 1, "C:\\Backup\\agent.exe", "Backup Agent"};
    const TFileHolder otherCopy{4343, 1, "D:\\Old\\Lingvaro\\Lingvaro.exe", ""};
    const TFileHolder unreadable{4444, 1, "", ""};
    struct Row {
        std::optional<std::vector<TFileHolder>> holders;
        std::vector<uint32_t> asked;
        size_t opened;
    };
    const Row rows[] = {
        {std::vector<TFileHolder>{backup, application, otherCopy, unreadable}, {self}, 1},
        {std::vector<TFileHolder>{reusedId}, {self}, 0},
        {std::vector<TFileHolder>{backup, otherCopy}, {}, 0},
        {std::vector<TFileHolder>{}, {}, 0},
        {std::nullopt, {}, 0},  // the Restart Manager failed
    };
    for (const Row& row : rows) {
        ScriptedRestartManager restartManager;
        restartManager.holders = row.holders;
        const std::vector<ScopedHandle> opened =
            AskApplicationElsewhereToClose(restartManager.Seams(), "C:\\Lingvaro\\lvm0.pak", appExe);
        EXPECT_EQ(restartManager.queried, std::vector<std::string>{"C:\\Lingvaro\\lvm0.pak"});
        EXPECT_EQ(restartManager.asked, row.asked);
        EXPECT_EQ(opened.size(), row.opened);
    }
}

// A package still held after the tries: whoever the Restart Manager names is
// named in the log (with the process id) and in the question; nobody named
// is "another program"; a run nobody can answer finishes at the restart.
TEST(AppElsewhere, HoldersOfAPackageStillHeldAreNamedAndTheAnswerDecides) {
    const TFileHolder agent{4242, 1, "C:\\Backup\\agent.exe", "Backup Agent"};
    const TFileHolder sync{4343, 1, "D:\\Sync\\sync.exe", ""};
    const TFileHolder unreadable{4444, 1, "", ""};
    struct Row {
        std::optional<std::vector<TFileHolder>> holders;
        bool unattended;
        int button;
        HeldAnswer answer;
        const char* named;  // in the question
        const char* logged;
    };
    const Row rows[] = {
        {std::vector<TFileHolder>{agent, sync, unreadable}, false, 10, HeldAnswer::TryAgain,
         "Backup Agent, sync.exe, process 4444",
         "held by: Backup Agent (process id 4242), sync.exe (process id 4343), process 4444 (process id 4444)"},
        {std::nullopt, false, 11, HeldAnswer::FinishAtRestart, "another program",
         "held by: another program (the Restart Manager names nobody)"},
        {std::vector<TFileHolder>{agent}, false, 0, HeldAnswer::Cancel, "Backup Agent",
         "held by: Backup Agent (process id 4242)"},  // no box could be shown
        {std::vector<TFileHolder>{agent}, true, 0, HeldAnswer::FinishAtRestart, "Backup Agent",
         "held by: Backup Agent (process id 4242)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.logged);
        ScriptedRestartManager restartManager;
        restartManager.holders = row.holders;
        test::ScriptedUserInterface ui;
        ui.Answer(row.button);
        std::vector<std::string> log;
        const TMessenger messages(ui.Seams(), false, {"Lingvaro update", "Обновление Lingvaro", "title"},
                                  [&] { return row.unattended; }, [&](const std::string& line) { log.push_back(line); });
        EXPECT_EQ(AnswerWhenPackageHeld(restartManager.Seams(), messages, "C:\\L\\lvm0.pak"), row.answer);
        const std::string text = std::string("The file C:\\L\\lvm0.pak\r\nis in use by ") + row.named + ".";
        ASSERT_EQ(ui.Shown().size(), row.unattended ? 0u : 1u);
        if (!row.unattended) {
            EXPECT_EQ(ui.Shown()[0].text.substr(0, text.size()), text);
        }
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[0], row.logged);
        EXPECT_EQ(log[1].substr(log[1].find(':') + 2, text.size()), text);
        EXPECT_TRUE(restartManager.asked.empty()) << "a holder was asked to close";
    }
}

// Windows hands a process's error mode to every process it starts (Wine does
// not, so this is looked at here rather than in a started application): the
// installer keeps critical-error boxes away from its own thread only.
TEST(ProcessErrorMode, HardeningLeavesTheModeChildrenInheritAtTheSystemDefault) {
    const UINT processBefore = SetErrorMode(0);
    const DWORD threadBefore = GetThreadErrorMode();
    HardenProcess();
    EXPECT_EQ(GetErrorMode() & (SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX), 0u)
        << "a started application would run with critical-error boxes suppressed";
    EXPECT_EQ(GetThreadErrorMode() & (SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX),
              static_cast<DWORD>(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX));
    SetThreadErrorMode(threadBefore, nullptr);
    SetErrorMode(processBefore);
}

}  // namespace
}  // namespace lvm
