// The progress window under a real display (Xvfb under Wine). The window and
// its thread are process-wide; every case starts from and returns to the
// module's initial state, so the cases also pass when run in one process.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "progress/progress_layout.h"
#include "progress/progress_window.h"
#include "progress/progress_window_test_access.h"

namespace lvm {
namespace {

constexpr DWORD kWaitMs = 10000;

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

RECT ExpectedMainRect() {
    const WindowOrigin origin =
        CentredProgressOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return {origin.left, origin.top, origin.left + kProgressWidth, origin.top + kProgressHeight};
}

::testing::AssertionResult HasRect(HWND window, const RECT& expected) {
    RECT actual{};
    GetWindowRect(window, &actual);
    if (EqualRect(&actual, &expected)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "rect (" << actual.left << "," << actual.top << ")-(" << actual.right << ","
           << actual.bottom << "), expected (" << expected.left << "," << expected.top << ")-("
           << expected.right << "," << expected.bottom << ")";
}

bool IsTopmost(HWND window) {
    return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

BOOL CALLBACK CountIfProgressWindow(HWND window, LPARAM count) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && ClassName(window) == L"PlainWindow") {
        ++*reinterpret_cast<int*>(count);
    }
    return TRUE;
}

// Top-level "PlainWindow" windows of this process, however many threads made them.
int CountProgressWindows() {
    int count = 0;
    EnumWindows(&CountIfProgressWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

class ProgressWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(test::ResetProgressWindow()); }
    void TearDown() override { EXPECT_TRUE(test::ResetProgressWindow()); }

    // The first show, waited for until the window thread has made the window.
    test::ProgressWindowHandles ShowAndWait(const std::string& caption, const std::string& text) {
        ShowProgress(caption, text);
        return test::WaitForProgressWindow(kWaitMs);
    }
};

TEST_F(ProgressWindowTest, CallsBeforeAnyShowStartNoThreadAndShowNothing) {
    HideProgress();
    SetProgressText("lost");
    SetProgressCaption("kept for later");
    EXPECT_EQ(test::ProgressThreadsStarted(), 0u);
    EXPECT_FALSE(test::ProgressWindowCreated());
    EXPECT_EQ(CountProgressWindows(), 0);
}

TEST_F(ProgressWindowTest, FirstShowMakesACentredTopmostPlainWindowOnItsOwnThread) {
    const test::ProgressWindowHandles windows = ShowAndWait("", "");
    ASSERT_NE(windows.mainWindow, nullptr);

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

    EXPECT_EQ(ClassName(windows.mainWindow), L"PlainWindow");
    EXPECT_EQ(GetClassLongW(windows.mainWindow, GCL_STYLE), 0x203u);
    EXPECT_EQ(GetClassLongW(windows.mainWindow, GCL_CBCLSEXTRA), 4u);
    EXPECT_EQ(GetClassLongW(windows.mainWindow, GCL_CBWNDEXTRA), 4u);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrW(windows.mainWindow, GCLP_HBRBACKGROUND)),
              static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrW(windows.mainWindow, GCLP_HCURSOR)),
              LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(windows.mainWindow, GWLP_HINSTANCE)),
              GetModuleHandleW(nullptr));

    // The window belongs to a thread of its own, not to the caller, which has no message loop.
    EXPECT_NE(GetWindowThreadProcessId(windows.mainWindow, nullptr), GetCurrentThreadId());
    EXPECT_EQ(test::ProgressThreadsStarted(), 1u);
    EXPECT_EQ(CountProgressWindows(), 1);
}

TEST_F(ProgressWindowTest, ChildrenHaveTheirClassesPlacesAndStyles) {
    const test::ProgressWindowHandles windows = ShowAndWait("Caption", "Pending text");
    ASSERT_NE(windows.mainWindow, nullptr);

    struct Child {
        const char* name;
        HWND window;
        const wchar_t* className;
        const wchar_t* text;
        RECT clientRect;  // left, top, right, bottom in the main window's client area
        LONG style;
    };
    const Child children[] = {
        {"text line", windows.textLine, L"STATIC", L"Pending text", {2, 2, 401, 22}, 0x50000000},
        {"progress bar", windows.progressBar, L"msctls_progress32", L"", {2, 24, 402, 44},
         0x50040000},
    };
    for (const Child& child : children) {
        SCOPED_TRACE(child.name);
        ASSERT_NE(child.window, nullptr);
        EXPECT_EQ(GetParent(child.window), windows.mainWindow);
        // Class names are compared without regard to case, as the system does ("Static").
        EXPECT_EQ(CompareStringOrdinal(ClassName(child.window).c_str(), -1, child.className, -1,
                                       TRUE),
                  CSTR_EQUAL)
            << ClassName(child.window).c_str();
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

TEST_F(ProgressWindowTest, SecondShowRetitlesAndReturnsTheWindowToTheCentreTopmost) {
    const test::ProgressWindowHandles windows = ShowAndWait("", "");
    ASSERT_NE(windows.mainWindow, nullptr);

    HideProgress();
    EXPECT_FALSE(IsWindowVisible(windows.mainWindow));
    // Moved, resized and dropped from the topmost band behind the installer's back.
    SetWindowPos(windows.mainWindow, HWND_NOTOPMOST, 10, 20, 100, 50, SWP_NOACTIVATE);
    ASSERT_FALSE(IsTopmost(windows.mainWindow));

    ShowProgress(u8"Установка", u8"Копирование файла lvm0.pak…");
    EXPECT_EQ(WindowText(windows.mainWindow), L"Установка");
    EXPECT_EQ(WindowText(windows.textLine), L"Копирование файла lvm0.pak…");
    EXPECT_TRUE(IsWindowVisible(windows.mainWindow));
    EXPECT_TRUE(IsTopmost(windows.mainWindow));
    EXPECT_TRUE(HasRect(windows.mainWindow, ExpectedMainRect()));
    EXPECT_EQ(SendMessageW(windows.progressBar, PBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(test::ProgressThreadsStarted(), 1u);
    EXPECT_EQ(CountProgressWindows(), 1);

    // Hide and show again keep the same place; caption and text follow the calls.
    HideProgress();
    EXPECT_FALSE(IsWindowVisible(windows.mainWindow));
    SetProgressCaption("Caption");
    SetProgressText("Text");
    EXPECT_EQ(WindowText(windows.mainWindow), L"Caption");
    EXPECT_EQ(WindowText(windows.textLine), L"Text");
    ShowProgress("", "");
    EXPECT_TRUE(IsWindowVisible(windows.mainWindow));
    EXPECT_TRUE(HasRect(windows.mainWindow, ExpectedMainRect()));
    EXPECT_EQ(WindowText(windows.mainWindow), L"");
    EXPECT_EQ(WindowText(windows.textLine), L"");
}

TEST_F(ProgressWindowTest, TextSetBeforeTheWindowExistsIsLostAndTheShowsTextIsUsed) {
    SetProgressText("lost");
    EXPECT_EQ(test::ProgressThreadsStarted(), 0u);
    const test::ProgressWindowHandles windows = ShowAndWait("Caption", "From the show");
    ASSERT_NE(windows.textLine, nullptr);
    EXPECT_EQ(WindowText(windows.textLine), L"From the show");
    EXPECT_EQ(WindowText(windows.mainWindow), L"Caption");
}

TEST_F(ProgressWindowTest, ShowsBeforeTheWindowExistsStartOneThreadAndTheLastOneWins) {
    for (int i = 0; i < 50; ++i) {
        ShowProgress("caption " + std::to_string(i), "text " + std::to_string(i));
    }
    SetProgressCaption("final caption");
    const test::ProgressWindowHandles windows = test::WaitForProgressWindow(kWaitMs);
    ASSERT_NE(windows.mainWindow, nullptr);
    EXPECT_EQ(test::ProgressThreadsStarted(), 1u);
    EXPECT_EQ(CountProgressWindows(), 1);
    // Whether the window was made before or after the later calls, it ends up
    // with the last caption and the last shown text.
    EXPECT_EQ(WindowText(windows.mainWindow), L"final caption");
    EXPECT_EQ(WindowText(windows.textLine), L"text 49");
}

TEST_F(ProgressWindowTest, ShowsFromSeveralThreadsAtOnceStartOneWindowThread) {
    std::vector<std::thread> callers;
    for (int i = 0; i < 8; ++i) {
        callers.emplace_back([] { ShowProgress("caption", "text"); });
    }
    for (std::thread& caller : callers) caller.join();
    const test::ProgressWindowHandles windows = test::WaitForProgressWindow(kWaitMs);
    ASSERT_NE(windows.mainWindow, nullptr);
    EXPECT_EQ(test::ProgressThreadsStarted(), 1u);
    EXPECT_EQ(CountProgressWindows(), 1);
    EXPECT_EQ(WindowText(windows.mainWindow), L"caption");
    EXPECT_EQ(WindowText(windows.textLine), L"text");
}

TEST_F(ProgressWindowTest, DestroyedWindowEndsItsThreadAndLaterCallsDoNothing) {
    const test::ProgressWindowHandles windows = ShowAndWait("", "");
    ASSERT_NE(windows.mainWindow, nullptr);

    // Nothing in the installer does this; should it happen, WM_DESTROY ends the loop.
    SendMessageW(windows.mainWindow, WM_CLOSE, 0, 0);
    EXPECT_TRUE(test::WaitForProgressThreadEnd(kWaitMs));
    EXPECT_FALSE(IsWindow(windows.mainWindow));
    EXPECT_TRUE(test::ProgressWindowCreated());

    HideProgress();
    ShowProgress("again", "again");
    SetProgressCaption("again");
    SetProgressText("again");
    EXPECT_EQ(test::ProgressThreadsStarted(), 1u);
    EXPECT_EQ(CountProgressWindows(), 0);
}

}  // namespace
}  // namespace lvm
