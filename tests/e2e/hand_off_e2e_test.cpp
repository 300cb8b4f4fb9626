// The installer and a running application: quit before the questions, start
// and bring to the front afterwards.
#include <windows.h>
#include <tlhelp32.h>

#include "e2e/e2e_support.h"

namespace lvm::e2e {
namespace {

uint64_t Ticks(const FILETIME& t) { return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; }

// A stand-in started by the test, ended and closed when the test ends.
class RunningStandIn {
public:
    RunningStandIn(const std::wstring& exe, const std::wstring& options) {
        std::wstring commandLine = L"\"" + exe + L"\" --lifetime=60 " + options;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &process)) {
            CloseHandle(process.hThread);
            process_ = process.hProcess;
            id_ = process.dwProcessId;
        }
    }
    ~RunningStandIn() {
        if (!process_) return;
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 1);
        CloseHandle(process_);
    }
    RunningStandIn(const RunningStandIn&) = delete;
    RunningStandIn& operator=(const RunningStandIn&) = delete;

    bool started() const { return process_ != nullptr; }
    DWORD id() const { return id_; }
    // Waits until the stand-in shows its window (its marks are then both up).
    bool WaitForWindow() const {
        for (int i = 0; i < 100; ++i) {
            HWND window = FindWindowW(L"TLVMainForm", nullptr);
            if (window) return true;
            Sleep(50);
        }
        return false;
    }
    bool Ended(DWORD waitMs) const { return WaitForSingleObject(process_, waitMs) == WAIT_OBJECT_0; }
    FILETIME ExitTime() const {
        FILETIME created, exited, kernel, user;
        GetProcessTimes(process_, &created, &exited, &kernel, &user);
        return exited;
    }

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// Ends every stand-in left by a run (the installer may have started one).
void CloseStandIns() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, L"Lingvaro.exe") != 0) continue;
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (!process) continue;
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 2000);
        CloseHandle(process);
    }
    CloseHandle(snapshot);
}

class HandOffRun : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        WriteUninstallString(InstallDir() + L"uninst.exe");
        CloseStandIns();
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"LVM_STANDIN_ARGS", nullptr);
        CloseStandIns();
        InstallerTest::TearDown();
    }
};

TEST_F(HandOffRun, RunningApplicationQuitsBeforeTheConsentQuestionAndStaysClosedAfterNo) {
    RunningStandIn app(InstallDir() + L"Lingvaro.exe", L"");
    ASSERT_TRUE(app.started());
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
    ASSERT_TRUE(app.started());
    Sleep(500);
    const driver::RunResult r = RunSetup(L"", {IDNO});
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_TRUE(r.boxes[0].scripted);
    EXPECT_EQ(r.boxes[0].answer, IDNO);
    EXPECT_EQ(r.exitCode, 1602u);
}

TEST_F(HandOffRun, ModestRunAppStartsTheApplicationAndBringsItToTheFront) {
    // The installer starts the stand-in with no parameters; it takes its
    // options from the environment it inherits.
    SetEnvironmentVariableW(L"LVM_STANDIN_ARGS", L"--minimized --lifetime=60");
    const driver::RunResult r = RunSetup(L"modest RunApp", {});
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exitCode, 0u);
    HWND window = FindWindowW(L"TLVMainForm", nullptr);
    ASSERT_NE(window, nullptr) << "the application was not started";
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_EQ(GetForegroundWindow(), window);
}

TEST_F(HandOffRun, ModestRunAppGivesUpQuietlyWhenTheApplicationNeverComesUp) {
    SetEnvironmentVariableW(L"LVM_STANDIN_ARGS", L"--mapping-delay=15000 --no-window --lifetime=1");
    const driver::RunResult r = RunSetup(L"modest runapp", {});
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exitCode, 0u);
    // Eight polls of 512 ms, and no window phase.
    EXPECT_GE(r.elapsedMs, 4000u);
    EXPECT_LT(r.elapsedMs, 12000u);
}

}  // namespace
}  // namespace lvm::e2e
