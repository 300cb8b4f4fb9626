// The installer's check of its own file before it changes anything.
//
// The linked executable carries a 48-byte record in its section ".lvmchk":
//   magic "LVM0CHK1" | covered length (u32) | reserved (u32) | SHA-256 (32 bytes)
// stamped in by tools/stamp_selfcheck.py. The digest covers the first
// `covered length` bytes of the file with three fields read as zeros: the PE
// checksum, the certificate-table directory entry and the digest itself.
// Bytes past the covered length are allowed only as an Authenticode
// certificate table that the directory entry describes exactly, and the PE
// checksum must be the true checksum of the whole file, so no byte of the
// file goes unchecked.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "common/scoped_handle.h"

#include "lang/messages.h"

namespace lvm {

enum class SelfCheckResult {
    Passed,
    Distorted,   // the file is not what the build stamped
    Unreadable,  // the file could not be opened or read
};

// The check of the running executable on a thread of its own, started when
// the run starts so that it goes on while the run reads the environment and
// tells the application to quit. Verdict() waits for it; an owner that goes
// without asking (a run that ends early, an exception) stops the check at the
// next chunk and waits for the thread, so no thread outlives its owner.
class TBackgroundSelfCheck {
public:
    // `path` empty: the running executable. `beforeEachChunk` lets a test
    // end the process in the middle of the hash.
    explicit TBackgroundSelfCheck(std::wstring path = std::wstring(),
                                 std::function<void()> beforeEachChunk = std::function<void()>());
    ~TBackgroundSelfCheck();
    TBackgroundSelfCheck(const TBackgroundSelfCheck&) = delete;
    TBackgroundSelfCheck& operator=(const TBackgroundSelfCheck&) = delete;

    SelfCheckResult Verdict();

private:
    static unsigned __stdcall ThreadEntry(void* self);
    void Check() noexcept;

    std::wstring path_;
    std::function<void()> beforeEachChunk_;
    std::atomic<bool> stop_{false};
    SelfCheckResult result_ = SelfCheckResult::Unreadable;
    ScopedHandle thread_;
    bool done_ = false;
};

// Reports a failed verdict with its message; true when the check passed.
bool ReportSelfCheck(SelfCheckResult result, const TMessenger& messages);

}  // namespace lvm
