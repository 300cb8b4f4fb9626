#include "common/installer_thread.h"

#include <windows.h>

#include <process.h>

namespace lvm {

void QuietCriticalErrorsOnThisThread() {
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, nullptr);
}

ScopedHandle StartRuntimeThread(ThreadBody entry, void* context) {
    return ScopedHandle(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, entry, context, 0, nullptr)));
}

}  // namespace lvm
