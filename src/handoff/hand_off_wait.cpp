#include "handoff/hand_off_wait.h"

namespace lvm {

namespace {

// Sleeps first and polls after, so a freshly started application gets a
// moment before the first look. Returns the number of polls made; it equals
// the limit both when the last poll hit and when none did, and callers treat
// both alike.
int PollAfterSleeping(const THandOffSeams& seams, uint32_t intervalMs, int limit,
                      const std::function<bool()>& found) {
    int polls = 0;
    do {
        seams.sleep(intervalMs);
        ++polls;
        if (found()) break;
    } while (polls <= limit - 1);
    return polls;
}

}  // namespace

bool WaitForAppExit(const TAppExitSeams& seams) {
    const uint32_t start = seams.now();
    for (;;) {
        if (seams.appGone()) return true;
        if (seams.now() - start >= kAppExitLimitMs) return false;
        seams.sleep(kAppExitPollIntervalMs);
    }
}

AppStartRoute StartApp(const TAppStartSeams& seams) {
    if (seams.throughDesktopShell()) return AppStartRoute::DesktopShell;
    seams.directly();
    return AppStartRoute::Direct;
}

HandOffOutcome HandOffToApp(const THandOffSeams& seams) {
    seams.launch();

    // The mapping exists once the new instance runs.
    const int appPolls = PollAfterSleeping(seams, kAppPollIntervalMs, kAppPollLimit,
                                           [&] { return !seams.appNotRunning(); });
    if (appPolls >= kAppPollLimit) return HandOffOutcome::AppNeverCameUp;

    WindowRef window = nullptr;
    const int windowPolls = PollAfterSleeping(seams, kWindowPollIntervalMs, kWindowPollLimit, [&] {
        window = seams.findMainWindow();
        return window != nullptr;
    });
    if (windowPolls >= kWindowPollLimit) return HandOffOutcome::WindowNeverFound;

    seams.activate(window);
    return HandOffOutcome::Activated;
}

}  // namespace lvm
