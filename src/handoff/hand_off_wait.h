// The waits after the application has been started: first for its mapping,
// then for its main window, then the activation. Over injected seams and
// no Windows headers, so the counts and timings can be checked without a
// real application and without waiting seconds.
#pragma once

#include <cstdint>
#include <functional>

namespace lvm {

// A top-level window handle (an HWND), opaque here.
using WindowRef = void*;

// The application phase: at most 8 polls for the mapping, each after a
// sleep of 512 ms (about 4.1 s in all).
constexpr uint32_t kAppPollIntervalMs = 512;
constexpr int kAppPollLimit = 8;
// The window phase: at most 11 polls for the main window, each after a sleep
// of 1024 ms (about 11.3 s in all).
constexpr uint32_t kWindowPollIntervalMs = 1024;
constexpr int kWindowPollLimit = 11;

// Before the package is written, the application that was told to quit gets
// up to 10 s to go (it may save its state and must let go of its files),
// looked at every 100 ms.
constexpr uint32_t kAppExitPollIntervalMs = 100;
constexpr uint32_t kAppExitLimitMs = 10000;

struct THandOffSeams {
    std::function<void()> launch;
    std::function<void(uint32_t milliseconds)> sleep;
    std::function<bool()> appNotRunning;
    // Null when no main window exists.
    std::function<WindowRef()> findMainWindow;
    std::function<void(WindowRef window)> activate;
};

struct TAppExitSeams {
    // True once the application has gone.
    std::function<bool()> appGone;
    std::function<void(uint32_t milliseconds)> sleep;
    // A millisecond clock; only differences are used, so it may wrap.
    std::function<uint32_t()> now;
};

// Polls until the application has gone (true) or the limit has run out
// (false): the first look comes at once, the last one at the limit.
bool WaitForAppExit(const TAppExitSeams& seams);

// The two ways to start the application: through the desktop shell, as the
// signed-in user (false when that route is unavailable: nothing was
// started), or directly from this process.
struct TAppStartSeams {
    std::function<bool()> throughDesktopShell;
    std::function<void()> directly;
};

enum class AppStartRoute { DesktopShell, Direct };

// The desktop shell first; the direct start only when it is unavailable.
AppStartRoute StartApp(const TAppStartSeams& seams);

enum class HandOffOutcome {
    AppNeverCameUp,   // no mapping before the application phase ran out
    WindowNeverFound, // no main window before the window phase ran out
    Activated,
};

// Launches, waits for the application and its window, and activates the
// window. Gives up silently when a phase runs out; a hit on the last poll of
// a phase still counts as running out (the counter has reached its limit).
HandOffOutcome HandOffToApp(const THandOffSeams& seams);

}  // namespace lvm
