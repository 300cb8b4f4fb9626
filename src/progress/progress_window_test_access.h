// Test-only access to the progress window's process-wide state. The window
// normally lives until the process ends; tests that run together in one
// process put the module back to its initial state between cases.
#pragma once

#include <windows.h>

namespace lvm {
namespace test {

struct ProgressWindowHandles {
    HWND mainWindow = nullptr;
    HWND textLine = nullptr;
    HWND progressBar = nullptr;
};

// Waits until the window thread has made its windows (or given up); all null
// when no window appeared within the time.
ProgressWindowHandles WaitForProgressWindow(DWORD timeoutMs);

bool ProgressWindowCreated();
// How many window threads have been started since the last reset.
unsigned ProgressThreadsStarted();
// True when the current window thread has ended within the time (or none was
// ever started).
bool WaitForProgressThreadEnd(DWORD timeoutMs);

// Ends a running window thread (its window destroyed), unregisters the window
// class and clears the state. False when the thread would not end.
bool ResetProgressWindow();

}  // namespace test
}  // namespace lvm
