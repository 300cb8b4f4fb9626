// The installer and a running application: quit before the questions, start
// and bring to the front afterwards.
#include <windows.h>

#include "common/scoped_handle.h"
#include "e2e/e2e_support.h"
#include "support/test_paths.h"

namespace lvm::e2e {
namespace {

uint64_t Ticks(const FILETIME& t) { return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; }

// A window as a failure message names it: its class and its process.
std::string Describe(HWND window) {
    if (!window) return "no window";
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return driver::ToUtf8(name) + " of process " + std::to_string(owner);
}

// A stand-in started by the test, ended and closed when the test ends.
class RunningStandIn {
public:
    RunningStandIn(const std::wstring& exe, const std::wstring& options)
        : process_(test::StartProgram(exe, L"--lifetime=60 " + options, &id_)) {}
    ~RunningStandIn() {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) TerminateProcess(process_.get(), 1);
    }
    RunningStandIn(const RunningStandIn&) = delete;
    RunningStandIn& operator=(const RunningStandIn&) = delete;

    bool started() const { return process_.valid(); }
    DWORD id() const { return id_; }
    // Waits until the stand-in shows its window (its marks are then both up);
    // false when it did not start or ends first (by itself at its lifetime,
    // at the latest).
    bool WaitForWindow() const {
        if (!started()) return false;
        for (;;) {
            const HWND window = FindWindowW(L"TLVMainForm", nullptr);
            DWORD owner = 0;
            if (window) GetWindowThreadProcessId(window, &owner);
            if (owner == id_) return true;
            if (WaitForSingleObject(process_.get(), 20) != WAIT_TIMEOUT) return false;
        }
    }
    // Waits until the stand-in has made its mark, the named mapping; false
    // when it did not start or ends first.
    bool WaitForMapping() const {
        if (!started()) return false;
        for (;;) {
            if (HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, L"lingvaro_memfile")) {
                CloseHandle(mapping);
                return true;
            }
            if (WaitForSingleObject(process_.get(), 20) != WAIT_TIMEOUT) return false;
        }
    }
    bool Ended(DWORD waitMs) const { return WaitForSingleObject(process_.get(), waitMs) == WAIT_OBJECT_0; }
    FILETIME ExitTime() const {
        FILETIME created, exited, kernel, user;
        GetProcessTimes(process_.get(), &created, &exited, &kernel, &user);
        return exited;
    }

private:
    DWORD id_ = 0;
    ScopedHandle process_;
};

class HandOffRun : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        WriteUninstallString(InstallDir() + L"uninst.exe");
        CloseStandIns();
    }
    bool Has(DWORD processId, const std::string& event) const {
        for (const std::string& e : StandInEvents(processId)) {
            if (e == event) return true;
        }
        return false;
    }
    // An installed package older than the one the installer carries.
    void InstallOlderPackage() {
        std::vector<uint8_t> bytes = {'l', 'v', 'm', '0', 0x22, 0x02, 200, 0};
        bytes.resize(64, 0xAB);
        WriteFileBytes(PackagePath(), bytes);
    }
    bool HoldsTheNewPackage() const { return ReadFileBytes(PackagePath()).size() == 11810129u; }
};

// The application as it really behaves: one instance only, reading its
// package (held open, read sharing only) and taking 1.5 s to exit.
constexpr char kRealisticApp[] = "--single-instance --hold-package --exit-delay=1500 --lifetime=60";

TEST_F(HandOffRun, RunningApplicationQuitsBeforeTheConsentQuestionAndStaysClosedAfterNo) {
    RunningStandIn app(InstallDir() + L"Lingvaro.exe", L"");
    ASSERT_TRUE(app.WaitForWindow());

    const driver::RunResult r = RunSetup(L"", {IDNO});
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(BoxText(r, 0), texts::ConsentEnglish());
    EXPECT_EQ(r.exitCode, 1602u);
    ASSERT_TRUE(app.Ended(5000)) << "the running application was not told to quit";
    EXPECT_LE(Ticks(app.ExitTime()), Ticks(r.boxes[0].answeredAt));
    EXPECT_EQ(FindWindowW(L"TLVMainForm", nullptr), nullptr);
}

TEST_F(HandOffRun, ApplicationWithoutAWindowLeavesTheQuestionToBeAnswered) {
    // Only the mapping is up: there is no window to post to, and nothing may
    // land in the installer's own queue and close its question.
    RunningStandIn app(InstallDir() + L"Lingvaro.exe", L"--no-window");
    ASSERT_TRUE(app.WaitForMapping());
    const driver::RunResult r = RunSetup(L"", {IDNO});
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_TRUE(r.boxes[0].scripted);
    EXPECT_EQ(r.boxes[0].answer, IDNO);
    EXPECT_EQ(r.exitCode, 1602u);
}

TEST_F(HandOffRun, ModestRunAppStartsTheApplicationAndBringsItToTheFront) {
    WriteStandInOptions("--minimized --lifetime=60");
    const driver::RunResult r = RunSetup(L"modest RunApp", {});
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exitCode, 0u);
    HWND window = FindWindowW(L"TLVMainForm", nullptr);
    ASSERT_NE(window, nullptr) << "the application was not started";
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_EQ(GetForegroundWindow(), window) << Describe(GetForegroundWindow()) << " is in front";
}

TEST_F(HandOffRun, ModestRunAppGivesUpQuietlyWhenTheApplicationNeverComesUp) {
    WriteStandInOptions("--mapping-delay=15000 --no-window --lifetime=1");
    const driver::RunResult r = RunSetup(L"modest runapp", {});
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exitCode, 0u);
    // Eight polls of 512 ms, and no window phase.
    EXPECT_GE(r.elapsedMs, 4000u);
    EXPECT_LT(r.elapsedMs, 12000u);
}

TEST_F(HandOffRun, ModestInstallWaitsForTheApplicationToLetGoOfItsPackage) {
    InstallOlderPackage();
    WriteStandInOptions(kRealisticApp);
    RunningStandIn app(InstallDir() + L"Lingvaro.exe", L"");
    ASSERT_TRUE(app.WaitForWindow());
    ASSERT_TRUE(Has(app.id(), "holding"));

    const driver::RunResult r = RunSetup(L"modest", {});
    EXPECT_TRUE(r.boxes.empty()) << driver::ToUtf8(BoxText(r, 0));
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(HoldsTheNewPackage());
    EXPECT_FALSE(FileExists(InstallDir() + L"~lvm0.pak"));
    EXPECT_TRUE(app.Ended(0)) << "the package was replaced while the application still ran";
}

TEST_F(HandOffRun, SingleInstanceApplicationRunningAtTheStartComesBackAsANewInstanceInFront) {
    struct Case {
        const wchar_t* arguments;
        std::vector<int> answers;
    };
    const Case cases[] = {
        {L"modest runapp", {}},
        {L"", {IDYES, IDYES}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(driver::ToUtf8(c.arguments));
        DeleteFileW(StandInLogPath().c_str());
        InstallOlderPackage();
        // Minimized and inactive: only the installer's activation brings it back.
        WriteStandInOptions(std::string(kRealisticApp) + " --minimized");
        RunningStandIn old(InstallDir() + L"Lingvaro.exe", L"");
        ASSERT_TRUE(old.started());
        ASSERT_TRUE(old.WaitForWindow());

        const driver::RunResult r = RunSetup(c.arguments, c.answers);
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_EQ(r.boxes.size(), c.answers.size());
        EXPECT_TRUE(HoldsTheNewPackage());
        EXPECT_TRUE(old.Ended(0));
        EXPECT_TRUE(Has(old.id(), "quit"));

        const std::vector<DWORD> started = StandInsStarted();
        ASSERT_EQ(started.size(), 2u) << "no new instance, or one that found the mark still up";
        const DWORD newer = started[1];
        EXPECT_NE(newer, old.id());
        EXPECT_FALSE(Has(newer, "already-running"));
        EXPECT_TRUE(Has(newer, "activated"));
        // Windows would hand the installer's own error mode down; Wine never
        // does, so the unit tests look at the mode the installer leaves.
        EXPECT_TRUE(Has(newer, "started errormode=0x0"));
        const HWND window = FindWindowW(L"TLVMainForm", nullptr);
        ASSERT_NE(window, nullptr);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        EXPECT_EQ(owner, newer);
        EXPECT_FALSE(IsIconic(window));
        EXPECT_EQ(GetForegroundWindow(), window) << Describe(GetForegroundWindow()) << " is in front";
        CloseStandIns();
    }
}

}  // namespace
}  // namespace lvm::e2e
