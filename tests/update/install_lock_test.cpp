// The installer's machine-wide lock: the wait for it and the lock itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <thread>
#include <vector>

#include "common/scoped_handle.h"
#include "update/install_lock.h"

namespace lvm {
namespace {

// A second run waits for the lock slice by slice on its clock, and gives up
// once the limit has passed without it.
TEST(InstallLockWaits, TakenAtOnceLaterOrNeverWithinTheMinute) {
    struct Row {
        uint32_t freeAfterMs;  // UINT32_MAX: never
        bool taken;
        uint32_t lastAttemptAtMs;
    };
    const Row rows[] = {{0, true, 0}, {30500, true, 30000}, {60000, true, 59000}, {UINT32_MAX, false, 59000}};
    for (const Row& row : rows) {
        uint32_t clock = 0xFFFFF000u;  // wraps during the wait
        const uint32_t start = clock;
        uint32_t lastAttempt = 0;
        TInstallLockSeams seams;
        seams.now = [&clock] { return clock; };
        seams.tryTake = [&](uint32_t milliseconds) {
            lastAttempt = clock - start;
            // Waiting takes the time the lock was asked to wait for, or until it is free.
            const uint32_t waited = clock - start;
            if (row.freeAfterMs != UINT32_MAX && waited + milliseconds >= row.freeAfterMs) {
                clock = start + std::max(waited, row.freeAfterMs);
                return true;
            }
            clock += milliseconds;
            return false;
        };
        EXPECT_EQ(WaitForInstallLock(seams), row.taken) << row.freeAfterMs;
        EXPECT_EQ(lastAttempt, row.lastAttemptAtMs) << row.freeAfterMs;
        EXPECT_LE(clock - start, 60000u) << "waited past the limit";
    }
}

// The machine-wide lock itself: while one run holds it, another thread's
// attempt fails at its limit; once it is let go, it is taken.
TEST(InstallLockWaits, RealLockIsExclusiveUntilLetGo) {
    std::unique_ptr<TInstallLock> first = TakeInstallLock(0);
    ASSERT_NE(first, nullptr);
    auto takeElsewhere = [](uint32_t limitMs) {
        bool taken = false;
        std::thread other([&] { taken = TakeInstallLock(limitMs) != nullptr; });
        other.join();
        return taken;
    };
    EXPECT_FALSE(takeElsewhere(50));
    first.reset();
    EXPECT_TRUE(takeElsewhere(0));
}

// One machine-wide lock for every add-on's installer, whatever package it
// carries: each writes into the same folder and the same EstimatedSize.
TEST(InstallLockWaits, OneNameForEveryAddOn) {
    const std::unique_ptr<TInstallLock> lock = TakeInstallLock(0);
    ASSERT_NE(lock, nullptr);
    const ScopedHandle same(OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\lingvaro-setup-package-install"));
    EXPECT_TRUE(same) << GetLastError();
}

}  // namespace
}  // namespace lvm
