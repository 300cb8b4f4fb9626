#include "common/installer_thread.h"

#include <windows.h>

#include <process.h>

#include <memory>

namespace lvm {

namespace {

struct ThreadStart {
    ThreadBody body;
    void* context;
};

unsigned __stdcall QuietThreadEntry(void* start) {
    const std::unique_ptr<ThreadStart> owned(static_cast<ThreadStart*>(start));
    QuietCriticalErrorsOnThisThread();
    return owned->body(owned->context);
}

}  // namespace

void QuietCriticalErrorsOnThisThread() {
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, nullptr);
}

ScopedHandle StartInstallerThread(ThreadBody body, void* context) {
    auto start = std::make_unique<ThreadStart>(ThreadStart{body, context});
    const uintptr_t thread = _beginthreadex(nullptr, 0, &QuietThreadEntry, start.get(), 0, nullptr);
    if (thread == 0) return ScopedHandle();
    start.release();  // the thread frees it
    return ScopedHandle(reinterpret_cast<HANDLE>(thread));
}

}  // namespace lvm
