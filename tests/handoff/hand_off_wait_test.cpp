// The hand-off's waits on a scripted application and clock: the polls and
// sleeps of each phase, the exit wait, and how the application is started.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "handoff/hand_off.h"
#include "handoff/hand_off_wait.h"

namespace lvm {
namespace {

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

    THandOffSeams Seams() {
        THandOffSeams seams;
        seams.launch = [this] { events.push_back("launch"); };
        seams.sleep = [this](uint32_t ms) { events.push_back("sleep " + std::to_string(ms)); };
        seams.appNotRunning = [this] {
            events.push_back("mapping?");
            ++mappingPolls;
            return mappingAtPoll == 0 || mappingPolls < mappingAtPoll;
        };
        seams.findMainWindow = [this]() -> WindowRef {
            events.push_back("window?");
            ++windowPolls;
            return windowAtPoll != 0 && windowPolls >= windowAtPoll ? MainWindow() : nullptr;
        };
        seams.activate = [this](WindowRef window) {
            events.push_back("activate");
            activated = window;
        };
        return seams;
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
    EXPECT_EQ(HandOffToApp(app.Seams()), HandOffOutcome::AppNeverCameUp);

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
        const HandOffOutcome outcome = HandOffToApp(app.Seams());

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
    EXPECT_EQ(HandOffToApp(app.Seams()), HandOffOutcome::Activated);

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
        const HandOffOutcome outcome = HandOffToApp(app.Seams());

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
        TAppExitSeams seams;
        seams.appGone = [&] { return ++looks, c.goneAtLook != 0 && looks >= c.goneAtLook; };
        seams.sleep = [&](uint32_t ms) {
            sleeps.push_back(ms);
            clock += ms;
        };
        seams.now = [&] { return clock; };
        EXPECT_EQ(WaitForAppExit(seams), c.expected);
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

}  // namespace
}  // namespace lvm
