#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/scoped_handle.h"
#include "common/text.h"
#include "support/test_paths.h"
#include "update/hand_off.h"
#include "update/process_hardening.h"

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

    THandOffHooks Hooks() {
        THandOffHooks hooks;
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
        TAppExitHooks hooks;
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
        TAppStartRoutes routes;
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

// ---------------------------------------------------------------- under Wine

constexpr wchar_t kMappingName[] = L"lingvaro_memfile";
constexpr wchar_t kWindowClass[] = L"TLVMainForm";

std::wstring StandInPath() { return test::BesideTestExecutable(L"Lingvaro.exe"); }

bool MappingExists() {
    ScopedHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, kMappingName));
    return mapping.valid();
}

HWND WaitForMainWindow(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = FindWindowW(kWindowClass, nullptr)) return window;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(20);
    }
}

// Ends a stand-in that a test left running: asked first, then forced.
void EndProcess(HANDLE process) {
    if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
}

class HandOffOnWine : public testing::Test {
protected:
    void SetUp() override {
        // A stand-in left over from elsewhere would make every answer here wrong.
        ASSERT_EQ(FindWindowW(kWindowClass, nullptr), nullptr) << "a stand-in is already running";
        ASSERT_FALSE(MappingExists()) << "the mapping already exists";
        ASSERT_NE(GetFileAttributesW(StandInPath().c_str()), INVALID_FILE_ATTRIBUTES)
            << "the stand-in is not next to the test executable";
    }
    // The stand-in as the installer knows the application.
    static TAppLocation StandInApp(const std::string& installDir = std::string()) {
        return {installDir, "Lingvaro", "TLVMainForm"};
    }
    // Starts the stand-in from the build folder and waits for its window.
    ScopedHandle StartStandIn(const std::wstring& options = L"") {
        std::wstring commandLine = L"\"" + StandInPath() + L"\" --lifetime=20 " + options;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        const BOOL started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0,
                                            nullptr, nullptr, &startup, &info);
        EXPECT_TRUE(started) << "CreateProcessW: " << GetLastError();
        if (!started) return ScopedHandle();
        CloseHandle(info.hThread);
        EXPECT_NE(WaitForMainWindow(5000), nullptr) << "the stand-in showed no window";
        return ScopedHandle(info.hProcess);
    }
};

TEST_F(HandOffOnWine, NothingRunningAnswersTrueAndLeavesNoMapping) {
    EXPECT_TRUE(AppNotRunning());
    EXPECT_FALSE(MappingExists());
    EXPECT_TRUE(AppNotRunning());
    EXPECT_FALSE(MappingExists());
}

TEST_F(HandOffOnWine, ExistingMappingAnswersFalseExactlyWhileItsOwnerHoldsIt) {
    ScopedHandle other(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64, kMappingName));
    ASSERT_TRUE(other.valid());

    EXPECT_FALSE(AppNotRunning());
    EXPECT_FALSE(AppNotRunning());

    // The owner goes away: the test kept nothing open, so the mark is gone
    // and a new instance will not take itself for a second copy.
    other.reset();
    EXPECT_FALSE(MappingExists());
    EXPECT_TRUE(AppNotRunning());
    // Nor did the test make the mark: a first instance still sees none.
    ScopedHandle first(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64, kMappingName));
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

TEST_F(HandOffOnWine, TellingWithoutAWindowPostsNothingToThisThread) {
    const QuitRequest request = TellAppToQuit(StandInApp());
    EXPECT_FALSE(request.process.valid());
    MSG message;
    EXPECT_FALSE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        << "a WM_QUIT in our own queue would close the next message box";
}

TEST_F(HandOffOnWine, RunningStandInIsSeenQuitsWhenToldAndIsWaitedForUntilItHasGone) {
    // It takes 1.5 s to exit after WM_QUIT, holding its marks until the end.
    ScopedHandle process = StartStandIn(L"--exit-delay=1500");
    ASSERT_TRUE(process.valid());

    EXPECT_FALSE(AppNotRunning());
    const QuitRequest request = TellAppToQuit(StandInApp());
    EXPECT_TRUE(request.process.valid()) << "the window's process was not opened for the wait";
    EXPECT_TRUE(WaitForAppToExit(request));
    EXPECT_EQ(WaitForSingleObject(process.get(), 0), WAIT_OBJECT_0) << "the wait ended before the process";
    EXPECT_FALSE(MappingExists());
    DWORD exitCode = 1;
    GetExitCodeProcess(process.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EndProcess(process.get());

    MSG message;
    EXPECT_FALSE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// A copy of the stand-in in an installation folder of its own (a non-ASCII
// name, so the path has to go through the wide API whole).
class InstalledStandIn {
public:
    InstalledStandIn() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"lvm-handoff-\u041f\u0440\u043e\u0431\u0430-" +
                  std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(folder_.c_str(), nullptr);
    }
    ~InstalledStandIn() {
        DeleteFileW(exe().c_str());
        DeleteFileW((folder_ + L"Lingvaro.options").c_str());
        DeleteFileW(log().c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    InstalledStandIn(const InstalledStandIn&) = delete;
    InstalledStandIn& operator=(const InstalledStandIn&) = delete;

    bool Install() { return CopyFileW(StandInPath().c_str(), exe().c_str(), FALSE) != 0; }
    // Options for a start that passes none (and, through the desktop shell,
    // hands down no environment either); the stand-in logs to log().
    void WriteOptions(const std::string& options) {
        const std::string line = options + " --log=" + Narrow(log()) + "\r\n";
        HANDLE file = CreateFileW((folder_ + L"Lingvaro.options").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(file);
    }
    std::wstring log() const { return folder_ + L"standin.log"; }
    std::string LogText() const {
        HANDLE file = CreateFileW(log().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return std::string();
        std::string text(65536, '\0');
        DWORD got = 0;
        ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &got, nullptr);
        CloseHandle(file);
        text.resize(got);
        return text;
    }
    const std::wstring& folder() const { return folder_; }
    std::wstring exe() const { return folder_ + L"Lingvaro.exe"; }

private:
    std::wstring folder_;
};

// Keeps the test process's current directory, which LaunchApp changes.
class CurrentDirectoryKeeper {
public:
    CurrentDirectoryKeeper() {
        wchar_t path[MAX_PATH];
        const DWORD length = GetCurrentDirectoryW(MAX_PATH, path);
        saved_.assign(path, length);
    }
    ~CurrentDirectoryKeeper() { SetCurrentDirectoryW(saved_.c_str()); }
    CurrentDirectoryKeeper(const CurrentDirectoryKeeper&) = delete;
    CurrentDirectoryKeeper& operator=(const CurrentDirectoryKeeper&) = delete;

private:
    std::wstring saved_;
};

TEST_F(HandOffOnWine, LaunchWithoutTheExecutableReturnsQuietly) {
    InstalledStandIn installation;  // the folder only, nothing copied into it
    CurrentDirectoryKeeper keeper;
    LaunchApp(StandInApp(Narrow(installation.folder())));

    EXPECT_EQ(WaitForMainWindow(500), nullptr);
}

TEST_F(HandOffOnWine, LaunchedStandInIsBroughtToTheFront) {
    InstalledStandIn installation;
    ASSERT_TRUE(installation.Install());
    CurrentDirectoryKeeper keeper;
    // Minimized and inactive, so that only the activation can bring it back.
    installation.WriteOptions("--lifetime=30 --minimized");

    LaunchAndActivateApp(StandInApp(Narrow(installation.folder())));

    const HWND window = FindWindowW(kWindowClass, nullptr);
    ASSERT_NE(window, nullptr) << "the stand-in was not started";
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    ScopedHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId));

    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_EQ(GetForegroundWindow(), window);
    // Started in its own folder, whichever way it was started.
    std::wstring folder = installation.folder();
    folder.pop_back();
    EXPECT_NE(installation.LogText().find("cwd " + Narrow(folder) + "\r\n"), std::string::npos)
        << installation.LogText();

    PostMessageW(window, WM_QUIT, 0, 0);
    ASSERT_TRUE(process.valid());
    EXPECT_EQ(WaitForSingleObject(process.get(), 5000), WAIT_OBJECT_0);
    EndProcess(process.get());
}

}  // namespace
}  // namespace lvm
