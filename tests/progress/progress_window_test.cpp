// The progress window under a real display (Xvfb under Wine), observed as a
// person or another program would: its windows are found through the window
// system by class and process, its thread through the process's thread list.
// Every case makes its own TProgressWindow and destroys it at its end.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/scoped_handle.h"
#include "progress/progress_window.h"

namespace lvm {
namespace {

constexpr DWORD kWaitMs = 10000;
constexpr wchar_t kClassName[] = L"PlainWindow";

std::wstring WindowText(HWND window) {
    wchar_t buffer[512] = {};
    GetWindowTextW(window, buffer, static_cast<int>(std::size(buffer)));
    return buffer;
}

std::wstring ClassName(HWND window) {
    wchar_t buffer[256] = {};
    GetClassNameW(window, buffer, static_cast<int>(std::size(buffer)));
    return buffer;
}

// Class names are compared without regard to case, as the system does ("Static").
bool HasClass(HWND window, const wchar_t* className) {
    return CompareStringOrdinal(ClassName(window).c_str(), -1, className, -1, TRUE) == CSTR_EQUAL;
}

BOOL CALLBACK CollectIfProgressWindow(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && ClassName(window) == kClassName) {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    }
    return TRUE;
}

// Top-level "PlainWindow" windows of this process, however many threads made them.
std::vector<HWND> ProgressWindows() {
    std::vector<HWND> found;
    EnumWindows(&CollectIfProgressWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

int CountProgressWindows() { return static_cast<int>(ProgressWindows().size()); }

// The window and its two children, told apart by class; null where missing.
struct Parts {
    HWND mainWindow = nullptr;
    HWND textLine = nullptr;
    HWND progressBar = nullptr;
    int children = 0;
};

// The one progress window of this process, as it is now: no waiting, since a
// show returns only once the window is on the screen.
Parts FindProgressWindow() {
    Parts parts;
    const std::vector<HWND> windows = ProgressWindows();
    if (windows.size() != 1) return parts;
    parts.mainWindow = windows.front();
    for (HWND child = GetWindow(parts.mainWindow, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        ++parts.children;
        if (HasClass(child, L"Static")) parts.textLine = child;
        if (HasClass(child, L"msctls_progress32")) parts.progressBar = child;
    }
    return parts;
}

// Ids of the threads of this process that are alive now.
std::set<DWORD> ThreadsOfThisProcess() {
    std::set<DWORD> threads;
    const ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return threads;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) threads.insert(entry.th32ThreadID);
    }
    return threads;
}

// Threads alive now that were not in `before`.
std::set<DWORD> ThreadsStartedSince(const std::set<DWORD>& before) {
    std::set<DWORD> started;
    for (DWORD id : ThreadsOfThisProcess()) {
        if (before.count(id) == 0) started.insert(id);
    }
    return started;
}

DWORD ThreadOf(HWND window) { return GetWindowThreadProcessId(window, nullptr); }

// Where a window of 408 x 76 pixels lies centred on this screen, fraction dropped.
RECT ExpectedMainRect() {
    const int left = (GetSystemMetrics(SM_CXSCREEN) - 408) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - 76) / 2;
    return {left, top, left + 408, top + 76};
}

::testing::AssertionResult HasRect(HWND window, const RECT& expected, bool inParent = false) {
    RECT actual{};
    GetWindowRect(window, &actual);
    if (inParent) MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&actual), 2);
    if (EqualRect(&actual, &expected)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "rect (" << actual.left << "," << actual.top << ")-(" << actual.right << ","
           << actual.bottom << "), expected (" << expected.left << "," << expected.top << ")-("
           << expected.right << "," << expected.bottom << ")";
}

bool IsTopmost(HWND window) { return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

bool ClassRegistered() {
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    return GetClassInfoExW(GetModuleHandleW(nullptr), kClassName, &info) != FALSE;
}

class ProgressWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CountProgressWindows(), 0) << "left over by an earlier case";
        threadsBefore_ = ThreadsOfThisProcess();
        progress_.emplace();
    }

    // Every case ends with its object destroyed: the window and the class go with it.
    void TearDown() override {
        progress_.reset();
        EXPECT_EQ(CountProgressWindows(), 0);
        EXPECT_FALSE(ClassRegistered());
    }

    // The only thread started since the case began is the window's own, and
    // the window shows this caption and text.
    void ExpectTheOnlyNewThreadsWindowShowing(const Parts& windows, const wchar_t* caption, const wchar_t* text) {
        EXPECT_EQ(ThreadsStartedSince(threadsBefore_), std::set<DWORD>{ThreadOf(windows.mainWindow)});
        EXPECT_EQ(WindowText(windows.mainWindow), caption);
        EXPECT_EQ(WindowText(windows.textLine), text);
    }

    std::set<DWORD> threadsBefore_;
    std::optional<TProgressWindow> progress_;
};

TEST_F(ProgressWindowTest, CallsBeforeAnyShowStartNoThreadAndShowNothing) {
    progress_->Hide();
    progress_->SetText("lost");
    progress_->SetCaption("kept for later");
    EXPECT_TRUE(ThreadsStartedSince(threadsBefore_).empty());
    EXPECT_EQ(CountProgressWindows(), 0);
    EXPECT_FALSE(ClassRegistered());
}

TEST_F(ProgressWindowTest, FirstShowReturnsWithACentredTopmostPlainWindowOnItsOwnThread) {
    progress_->Show("", "");
    // No waiting: the first show returns only once the window is on the screen.
    const Parts windows = FindProgressWindow();
    ASSERT_NE(windows.mainWindow, nullptr) << CountProgressWindows() << " progress windows";

    if (GetSystemMetrics(SM_CXSCREEN) == 1024 && GetSystemMetrics(SM_CYSCREEN) == 768) {
        EXPECT_TRUE(HasRect(windows.mainWindow, RECT{308, 346, 716, 422}));
    }
    EXPECT_TRUE(HasRect(windows.mainWindow, ExpectedMainRect()));
    EXPECT_TRUE(IsWindowVisible(windows.mainWindow));
    EXPECT_TRUE(IsTopmost(windows.mainWindow));
    EXPECT_EQ(GetWindowLongW(windows.mainWindow, GWL_EXSTYLE) & 0x20009, 0x20009);
    // A dialog frame with no system menu (so no close box), no sizing border and no
    // minimise or maximise box. The title bar is the system's own addition to every
    // top-level window that is not a popup.
    const LONG style = GetWindowLongW(windows.mainWindow, GWL_STYLE);
    EXPECT_EQ(style & WS_DLGFRAME, WS_DLGFRAME);
    EXPECT_EQ(style & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD |
                       WS_POPUP),
              0);
    EXPECT_EQ(GetParent(windows.mainWindow), nullptr);
    EXPECT_EQ(WindowText(windows.mainWindow), L"");
    EXPECT_EQ(WindowText(windows.textLine), L"");
    // Shown without activation: the keyboard stays where it was.
    EXPECT_NE(GetForegroundWindow(), windows.mainWindow);

    EXPECT_EQ(GetClassLongW(windows.mainWindow, GCL_STYLE), 0x203u);
    EXPECT_EQ(GetClassLongW(windows.mainWindow, GCL_CBCLSEXTRA), 4u);
    EXPECT_EQ(GetClassLongW(windows.mainWindow, GCL_CBWNDEXTRA), 4u);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrW(windows.mainWindow, GCLP_HBRBACKGROUND)),
              static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrW(windows.mainWindow, GCLP_HCURSOR)),
              LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(windows.mainWindow, GWLP_HINSTANCE)),
              GetModuleHandleW(nullptr));

    // The window belongs to a thread of its own, not to the caller, which has no
    // message loop; that thread is the only one the show started.
    const DWORD windowThread = ThreadOf(windows.mainWindow);
    EXPECT_NE(windowThread, GetCurrentThreadId());
    EXPECT_EQ(ThreadsStartedSince(threadsBefore_), std::set<DWORD>{windowThread});
}

TEST_F(ProgressWindowTest, ChildrenHaveTheirClassesPlacesAndStyles) {
    progress_->Show("Caption", "Pending text");
    const Parts windows = FindProgressWindow();
    ASSERT_NE(windows.mainWindow, nullptr);
    EXPECT_EQ(windows.children, 2);

    struct Child {
        const char* name;
        HWND window;
        const wchar_t* text;
        RECT clientRect;  // left, top, right, bottom in the main window's client area
        LONG style;
    };
    const Child children[] = {
        {"text line (Static)", windows.textLine, L"Pending text", {2, 2, 401, 22}, 0x50000000},
        {"progress bar (msctls_progress32)", windows.progressBar, L"", {2, 24, 402, 44},
         0x50040000},
    };
    for (const Child& child : children) {
        SCOPED_TRACE(child.name);
        ASSERT_NE(child.window, nullptr);
        EXPECT_EQ(GetParent(child.window), windows.mainWindow);
        EXPECT_EQ(WindowText(child.window), child.text);
        EXPECT_EQ(GetWindowLongW(child.window, GWL_STYLE), child.style);
        EXPECT_EQ(GetDlgCtrlID(child.window), 0);
        RECT rect{};
        GetWindowRect(child.window, &rect);
        MapWindowPoints(HWND_DESKTOP, windows.mainWindow, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_TRUE(EqualRect(&rect, &child.clientRect))
            << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
    }
    // The bar is never advanced: it stays at the start of its range.
    EXPECT_EQ(SendMessageW(windows.progressBar, PBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(WindowText(windows.mainWindow), L"Caption");
}

// Windows moving the window onto a monitor of 144 DPI (Wine never does): it
// takes the rectangle suggested and scales its children and the text line's font.
TEST_F(ProgressWindowTest, ADpiChangeTakesTheSuggestedRectangleAndScalesTheChildren) {
    progress_->Show("Caption", "Text");
    const Parts windows = FindProgressWindow();
    RECT suggested{100, 50, 712, 164};
    SendMessageW(windows.mainWindow, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_TRUE(HasRect(windows.mainWindow, RECT{100, 50, 712, 164}));
    EXPECT_TRUE(HasRect(windows.textLine, RECT{3, 3, 602, 33}, true));
    EXPECT_TRUE(HasRect(windows.progressBar, RECT{3, 36, 603, 66}, true));
    LOGFONTW system{}, own{};
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(system), &system);
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(windows.textLine, WM_GETFONT, 0, 0)), sizeof(own), &own);
    EXPECT_EQ(own.lfHeight, system.lfHeight * 3 / 2);
}

TEST_F(ProgressWindowTest, SecondShowRetitlesAndReturnsTheSameWindowToTheCentreTopmost) {
    progress_->Show("", "");
    const Parts windows = FindProgressWindow();
    ASSERT_NE(windows.mainWindow, nullptr);

    progress_->Hide();
    EXPECT_FALSE(IsWindowVisible(windows.mainWindow));
    // Moved, resized and dropped from the topmost band behind the installer's back.
    SetWindowPos(windows.mainWindow, HWND_NOTOPMOST, 10, 20, 100, 50, SWP_NOACTIVATE);
    ASSERT_FALSE(IsTopmost(windows.mainWindow));

    progress_->Show(u8"Установка", u8"Копирование файла lvm0.pak…");
    EXPECT_EQ(FindProgressWindow().mainWindow, windows.mainWindow);
    EXPECT_EQ(WindowText(windows.mainWindow), L"Установка");
    EXPECT_EQ(WindowText(windows.textLine), L"Копирование файла lvm0.pak…");
    EXPECT_TRUE(IsWindowVisible(windows.mainWindow));
    EXPECT_TRUE(IsTopmost(windows.mainWindow));
    EXPECT_TRUE(HasRect(windows.mainWindow, ExpectedMainRect()));
    EXPECT_EQ(SendMessageW(windows.progressBar, PBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(ThreadsStartedSince(threadsBefore_),
              std::set<DWORD>{ThreadOf(windows.mainWindow)});

    // Hide and show again keep the same place; caption and text follow the calls.
    progress_->Hide();
    EXPECT_FALSE(IsWindowVisible(windows.mainWindow));
    progress_->SetCaption("Caption");
    progress_->SetText("Text");
    EXPECT_EQ(WindowText(windows.mainWindow), L"Caption");
    EXPECT_EQ(WindowText(windows.textLine), L"Text");
    progress_->Show("", "");
    EXPECT_EQ(FindProgressWindow().mainWindow, windows.mainWindow);
    EXPECT_TRUE(IsWindowVisible(windows.mainWindow));
    EXPECT_TRUE(HasRect(windows.mainWindow, ExpectedMainRect()));
    EXPECT_EQ(WindowText(windows.mainWindow), L"");
    EXPECT_EQ(WindowText(windows.textLine), L"");
}

TEST_F(ProgressWindowTest, TextSetBeforeTheWindowExistsIsLostAndTheShowsTextIsUsed) {
    progress_->SetText("lost");
    EXPECT_TRUE(ThreadsStartedSince(threadsBefore_).empty());
    progress_->Show("Caption", "From the show");
    const Parts windows = FindProgressWindow();
    ASSERT_NE(windows.textLine, nullptr);
    EXPECT_EQ(WindowText(windows.textLine), L"From the show");
    EXPECT_EQ(WindowText(windows.mainWindow), L"Caption");
}

TEST_F(ProgressWindowTest, ManyShowsKeepOneWindowAndTheLastCallsWin) {
    progress_->Show("caption 0", "text 0");
    const HWND first = FindProgressWindow().mainWindow;
    ASSERT_NE(first, nullptr);
    for (int i = 1; i < 50; ++i) {
        progress_->Show("caption " + std::to_string(i), "text " + std::to_string(i));
    }
    progress_->SetCaption("final caption");
    const Parts windows = FindProgressWindow();
    EXPECT_EQ(windows.mainWindow, first);
    EXPECT_EQ(CountProgressWindows(), 1);
    ExpectTheOnlyNewThreadsWindowShowing(windows, L"final caption", L"text 49");
}

TEST_F(ProgressWindowTest, ShowsFromSeveralThreadsAtOnceStartOneWindowThread) {
    std::vector<std::thread> callers;
    for (int i = 0; i < 8; ++i) {
        callers.emplace_back([this] { progress_->Show("caption", "text"); });
    }
    for (std::thread& caller : callers) caller.join();
    // Every caller has returned, so the window is on the screen.
    const Parts windows = FindProgressWindow();
    ASSERT_NE(windows.mainWindow, nullptr) << CountProgressWindows() << " progress windows";
    // The callers have ended: the one thread left over is the window's.
    ExpectTheOnlyNewThreadsWindowShowing(windows, L"caption", L"text");
}

TEST_F(ProgressWindowTest, DestroyedWindowEndsItsThreadAndLaterCallsDoNothing) {
    progress_->Show("", "");
    const HWND mainWindow = FindProgressWindow().mainWindow;
    ASSERT_NE(mainWindow, nullptr);
    const ScopedHandle windowThread(OpenThread(SYNCHRONIZE, FALSE, ThreadOf(mainWindow)));
    ASSERT_TRUE(windowThread);

    // Nothing in the installer does this; should it happen, WM_DESTROY ends the loop.
    SendMessageW(mainWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(windowThread.get(), kWaitMs), WAIT_OBJECT_0);
    EXPECT_FALSE(IsWindow(mainWindow));

    const std::set<DWORD> threadsAfterEnd = ThreadsOfThisProcess();
    progress_->Hide();
    progress_->Show("again", "again");
    progress_->SetCaption("again");
    progress_->SetText("again");
    EXPECT_TRUE(ThreadsStartedSince(threadsAfterEnd).empty());
    EXPECT_EQ(CountProgressWindows(), 0);
}

TEST_F(ProgressWindowTest, DestructionClosesTheWindowAndEndsItsThreadBeforeItReturns) {
    progress_->Show("Caption", "Text");
    progress_->Hide();
    const HWND mainWindow = FindProgressWindow().mainWindow;
    ASSERT_NE(mainWindow, nullptr);
    const ScopedHandle windowThread(OpenThread(SYNCHRONIZE, FALSE, ThreadOf(mainWindow)));
    ASSERT_TRUE(windowThread);
    ASSERT_TRUE(ClassRegistered());

    progress_.reset();
    EXPECT_FALSE(IsWindow(mainWindow));
    EXPECT_EQ(WaitForSingleObject(windowThread.get(), 0), WAIT_OBJECT_0);
    EXPECT_FALSE(ClassRegistered());

    // A new owner starts afresh: a window of its own, on a thread of its own.
    progress_.emplace();
    progress_->Show("New", "Owner");
    const Parts windows = FindProgressWindow();
    ASSERT_NE(windows.mainWindow, nullptr);
    EXPECT_TRUE(IsWindowVisible(windows.mainWindow));
    EXPECT_EQ(WindowText(windows.mainWindow), L"New");
    EXPECT_EQ(WindowText(windows.textLine), L"Owner");
}

}  // namespace
}  // namespace lvm
