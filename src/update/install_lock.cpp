#include "update/install_lock.h"

#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <utility>

#include "common/scoped_handle.h"

namespace lvm {

namespace {

// One lock for every add-on's installer: each writes into the same folder
// and the same uninstall entry's EstimatedSize.
constexpr wchar_t kMutexName[] = L"Global\\lingvaro-setup-package-install";
// SYSTEM and the administrators only: every run that may write is one of them.
constexpr wchar_t kMutexAccess[] = L"D:(A;;GA;;;SY)(A;;GA;;;BA)";

class MutexLock final : public TInstallLock {
public:
    explicit MutexLock(ScopedHandle mutex) : mutex_(std::move(mutex)) {}
    ~MutexLock() override { ReleaseMutex(mutex_.get()); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    ScopedHandle mutex_;
};

ScopedHandle OpenOrCreateMutex() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kMutexAccess, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        return ScopedHandle();
    }
    const std::unique_ptr<void, decltype(&LocalFree)> owned(descriptor, &LocalFree);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    return ScopedHandle(CreateMutexW(&attributes, FALSE, kMutexName));
}

}  // namespace

bool WaitForInstallLock(const TInstallLockSeams& seams, uint32_t limitMs) {
    const uint32_t start = seams.now();
    if (seams.tryTake(0)) return true;
    for (;;) {
        const uint32_t waited = seams.now() - start;
        if (waited >= limitMs) return false;
        if (seams.tryTake(std::min(kInstallLockSliceMs, limitMs - waited))) return true;
    }
}

std::unique_ptr<TInstallLock> TakeInstallLock(uint32_t limitMs) {
    ScopedHandle mutex = OpenOrCreateMutex();
    if (!mutex) return nullptr;
    TInstallLockSeams seams;
    seams.tryTake = [&mutex](uint32_t milliseconds) {
        // Abandoned: a run ended by force while it held the lock. Its files are
        // the writer's to deal with; the lock is this run's now.
        const DWORD result = WaitForSingleObject(mutex.get(), milliseconds);
        return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    };
    seams.now = [] { return static_cast<uint32_t>(GetTickCount()); };
    if (!WaitForInstallLock(seams, limitMs)) return nullptr;
    return std::make_unique<MutexLock>(std::move(mutex));
}

}  // namespace lvm
