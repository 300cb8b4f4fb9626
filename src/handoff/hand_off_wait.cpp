#include "handoff/hand_off_wait.h"

namespace lvm {

namespace {

// Sleeps first and polls after, so a freshly started application gets a
// moment before the first look. Returns the number of polls made; it equals
// the limit both when the last poll hit and when none did, and callers treat
// both alike.
int PollAfterSleeping(const THandOffHooks& hooks, uint32_t intervalMs, int limit,
                      const std::function<bool()>& found) {
    int polls = 0;
    do {
        hooks.sleep(intervalMs);
        ++polls;
        if (found()) break;
    } while (polls <= limit - 1);
    return polls;
}

}  // namespace

bool WaitForAppExit(const TAppExitHooks& hooks) {
    const uint32_t start = hooks.now();
    for (;;) {
        if (hooks.appGone()) return true;
        if (hooks.now() - start >= kAppExitLimitMs) return false;
        hooks.sleep(kAppExitPollIntervalMs);
    }
}

AppStartRoute StartApp(const TAppStartRoutes& routes) {
    if (routes.throughDesktopShell()) return AppStartRoute::DesktopShell;
    routes.directly();
    return AppStartRoute::Direct;
}

HandOffOutcome HandOffToApp(const THandOffHooks& hooks) {
    hooks.launch();

    // The mapping exists once the new instance runs.
    const int appPolls = PollAfterSleeping(hooks, kAppPollIntervalMs, kAppPollLimit,
                                           [&] { return !hooks.appNotRunning(); });
    if (appPolls >= kAppPollLimit) return HandOffOutcome::AppNeverCameUp;

    WindowRef window = nullptr;
    const int windowPolls = PollAfterSleeping(hooks, kWindowPollIntervalMs, kWindowPollLimit, [&] {
        window = hooks.findMainWindow();
        return window != nullptr;
    });
    if (windowPolls >= kWindowPollLimit) return HandOffOutcome::WindowNeverFound;

    hooks.activate(window);
    return HandOffOutcome::Activated;
}

}  // namespace lvm
