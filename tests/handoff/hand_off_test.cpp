// The hand-off with a real application: the stand-in started from the build
// folder holds the mapping and the main window as the application does.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/scoped_handle.h"
#include "common/text.h"
#include "handoff/hand_off.h"
#include "support/test_files.h"
#include "support/test_paths.h"

namespace lvm {
namespace {

constexpr wchar_t kMappingName[] = L"lingvaro_memfile";
constexpr wchar_t kWindowClass[] = L"TLVMainForm";

std::wstring StandInPath() { return test::BesideTestExecutable(L"Lingvaro.exe"); }

bool MappingExists() {
    ScopedHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, kMappingName));
    return mapping.valid();
}

// The main window of the stand-in `process` once it exists; null when the
// process ends first (it ends by itself at its lifetime). Not "once the process
// is idle": a process goes idle whenever it waits for messages, also before its
// window exists (under Wine, while it waits for the desktop shell that its first
// window has to start).
HWND MainWindowOf(HANDLE process, DWORD processId) {
    for (;;) {
        const HWND window = FindWindowW(kWindowClass, nullptr);
        DWORD owner = 0;
        if (window) GetWindowThreadProcessId(window, &owner);
        if (owner == processId) return window;
        if (WaitForSingleObject(process, 20) != WAIT_TIMEOUT) return nullptr;
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
        return {installDir, "Lingvaro.exe", "TLVMainForm"};
    }
    // Starts the stand-in from the build folder and waits for its window.
    ScopedHandle StartStandIn(const std::wstring& options = L"") {
        DWORD id = 0;
        ScopedHandle process = test::StartProgram(StandInPath(), L"--lifetime=20 " + options, &id);
        EXPECT_TRUE(process.valid()) << "the stand-in could not be started: " << GetLastError();
        if (process) {
            EXPECT_NE(MainWindowOf(process.get(), id), nullptr) << "the stand-in ended without a window";
        }
        return process;
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
    const TQuitRequest request = TellAppToQuit(StandInApp());
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
    const TQuitRequest request = TellAppToQuit(StandInApp());
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
    bool Install() const { return CopyFileW(StandInPath().c_str(), Widen(folder_ / "Lingvaro.exe").c_str(), FALSE); }
    // Options for a start that passes none (and, through the desktop shell,
    // hands down no environment either); the stand-in logs to its folder.
    void WriteOptions(const std::string& options) const {
        folder_.WriteFile("Lingvaro.options", options + " --log=" + (folder_ / "standin.log") + "\r\n");
    }
    std::string LogText() const { return folder_.ReadFile("standin.log"); }
    std::string folder() const { return folder_.Folder(); }

private:
    test::TempFolder folder_{"lvm-handoff-\u041f\u0440\u043e\u0431\u0430"};
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
    LaunchApp(StandInApp(installation.folder()));

    // The launch has returned, and with no executable nothing can be starting.
    EXPECT_EQ(FindWindowW(kWindowClass, nullptr), nullptr);
}

TEST_F(HandOffOnWine, LaunchedStandInIsBroughtToTheFront) {
    InstalledStandIn installation;
    ASSERT_TRUE(installation.Install());
    CurrentDirectoryKeeper keeper;
    // Minimized and inactive, so that only the activation can bring it back.
    installation.WriteOptions("--lifetime=30 --minimized");

    LaunchAndActivateApp(StandInApp(installation.folder()));

    const HWND window = FindWindowW(kWindowClass, nullptr);
    ASSERT_NE(window, nullptr) << "the stand-in was not started";
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    ScopedHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId));

    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_EQ(GetForegroundWindow(), window);
    // Started in its own folder, whichever way it was started.
    std::string folder = installation.folder();
    folder.pop_back();
    EXPECT_NE(installation.LogText().find("cwd " + folder + "\r\n"), std::string::npos)
        << installation.LogText();

    PostMessageW(window, WM_QUIT, 0, 0);
    ASSERT_TRUE(process.valid());
    EXPECT_EQ(WaitForSingleObject(process.get(), 5000), WAIT_OBJECT_0);
    EndProcess(process.get());
}

}  // namespace
}  // namespace lvm
