// Every thread the installer makes, and the error mode each one gets.
#pragma once

#include "common/scoped_handle.h"

namespace lvm {

// A path on a missing drive or an empty card reader fails quietly instead of
// putting a system dialog in front of the run. Set per thread, for every
// thread that touches files (the main thread, the self-check reading the
// installer's own file, which may sit on a card or a drive that goes away,
// the progress window), and never for the process: every process started
// from here inherits the process's mode, and the application started after
// the update must get its own dialogs.
void QuietCriticalErrorsOnThisThread();

using ThreadBody = unsigned(__stdcall*)(void* context);

// Starts `entry(context)` through the C runtime's thread start (the bodies
// use it: strings, exceptions). An empty handle when the thread cannot start.
ScopedHandle StartRuntimeThread(ThreadBody entry, void* context);

template <ThreadBody Body>
unsigned __stdcall QuietThreadEntry(void* context) {
    QuietCriticalErrorsOnThisThread();
    return Body(context);
}

// Runs `Body(context)` on a new thread that first takes the quiet error mode.
// An empty handle when the thread cannot start; `context` is then the
// caller's still.
template <ThreadBody Body>
ScopedHandle StartInstallerThread(void* context) {
    return StartRuntimeThread(&QuietThreadEntry<Body>, context);
}

}  // namespace lvm
