// One installation of this package at a time on a machine: a deployment
// tool's run (SYSTEM, session 0) and a person's double-click must never write
// at once. A run takes the lock when it is about to change something and holds
// it until the installed size is written.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace lvm {

// Held while it exists.
class TInstallLock {
public:
    virtual ~TInstallLock() = default;
};

// How long a run waits for another one to finish before it gives up (1618,
// which deployment tools retry), and how often it looks at its clock meanwhile.
constexpr uint32_t kInstallLockLimitMs = 60000;
constexpr uint32_t kInstallLockSliceMs = 1000;

struct TInstallLockSeams {
    // Waits at most this long for the lock; true once it is taken.
    std::function<bool(uint32_t milliseconds)> tryTake;
    std::function<uint32_t()> now;  // milliseconds, wrapping
};

// Tries at once, then slice by slice until the limit has passed. True when taken.
bool WaitForInstallLock(const TInstallLockSeams& seams, uint32_t limitMs = kInstallLockLimitMs);

// The machine-wide lock ("Global\" namespace, open to SYSTEM and the
// administrators); null when another run held it for the whole limit or it
// cannot be made at all.
std::unique_ptr<TInstallLock> TakeInstallLock(uint32_t limitMs = kInstallLockLimitMs);

}  // namespace lvm
