#include "selfcheck/self_check.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "common/installer_thread.h"
#include "common/scoped_handle.h"
#include "common/sha256.h"
#include "common/text.h"
#include "selfcheck/self_check_rules.h"

namespace lvm {

// The record the build stamps. It must stay in the image (it is never read
// through this symbol, only from the file), hence "used".
__attribute__((section(".lvmchk"), used)) extern const unsigned char kSelfCheckRecord[48] = {
    'L', 'V', 'M', '0', 'C', 'H', 'K', '1'};

namespace {

constexpr size_t kHeaderBytes = 4096;
constexpr size_t kChunkBytes = 1 << 20;

class ReadError {};

void ReadAt(HANDLE file, uint64_t offset, void* buffer, size_t size) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) throw ReadError();
    auto* bytes = static_cast<uint8_t*>(buffer);
    while (size > 0) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(size, kChunkBytes));
        if (!ReadFile(file, bytes, want, &got, nullptr)) throw ReadError();
        if (got == 0) throw ReadError();
        bytes += got;
        size -= got;
    }
}

// Thrown between chunks when the check's owner no longer wants the verdict.
class Stopped {};

// What runs between the chunks of a check in the background.
struct ChunkGate {
    const std::atomic<bool>* stop = nullptr;
    const std::function<void()>* beforeEachChunk = nullptr;

    void Pass() const {
        if (beforeEachChunk && *beforeEachChunk) (*beforeEachChunk)();
        if (stop && stop->load(std::memory_order_relaxed)) throw Stopped();
    }
};

SelfCheckResult CheckOpenFile(HANDLE file, const ChunkGate& gate) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) return SelfCheckResult::Unreadable;
    const uint64_t fileSize = static_cast<uint64_t>(size.QuadPart);

    std::vector<uint8_t> headers(static_cast<size_t>(std::min<uint64_t>(fileSize, kHeaderBytes)));
    ReadAt(file, 0, headers.data(), headers.size());
    const std::optional<TSelfCheckLayout> layout = ParseSelfCheckLayout(headers.data(), headers.size());
    if (!layout || uint64_t{layout->recordOffset} + kSelfCheckRecordSize > fileSize) {
        return SelfCheckResult::Distorted;
    }

    uint8_t record[kSelfCheckRecordSize];
    ReadAt(file, layout->recordOffset, record, sizeof(record));
    if (!HasSelfCheckMagic(record)) return SelfCheckResult::Distorted;
    const uint32_t covered = CoveredLength(record);
    if (!TailIsAcceptable(*layout, fileSize, covered)) return SelfCheckResult::Distorted;
    Sha256Digest stored;
    std::copy(record + kSelfCheckDigestOffset, record + kSelfCheckDigestOffset + stored.size(),
              stored.begin());
    uint32_t storedChecksum = 0;
    std::copy(headers.begin() + layout->checksumOffset, headers.begin() + layout->checksumOffset + 4,
              reinterpret_cast<uint8_t*>(&storedChecksum));

    TSha256 hash;
    TPeChecksum checksum(layout->checksumOffset);
    std::vector<uint8_t> chunk(kChunkBytes);
    for (uint64_t offset = 0; offset < fileSize;) {
        gate.Pass();
        const size_t part = static_cast<size_t>(std::min<uint64_t>(kChunkBytes, fileSize - offset));
        ReadAt(file, offset, chunk.data(), part);
        checksum.Update(offset, chunk.data(), part);
        if (offset < covered) {
            MaskUncoveredFields(*layout, offset, chunk.data(), part);
            hash.Update(chunk.data(), static_cast<size_t>(std::min<uint64_t>(part, covered - offset)));
        }
        offset += part;
    }
    if (hash.Finish() != stored) return SelfCheckResult::Distorted;
    if (checksum.Finish(fileSize) != storedChecksum) return SelfCheckResult::Distorted;
    return SelfCheckResult::Passed;
}

std::wstring OwnExecutablePath() {
    return QueryWideString(
        [](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); });
}

SelfCheckResult CheckFileIntegrityThrough(const std::wstring& path, const ChunkGate& gate) {
    // Read sharing only: nothing may rewrite the file while it is checked.
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return SelfCheckResult::Unreadable;
    try {
        return CheckOpenFile(file.get(), gate);
    } catch (const ReadError&) {
        return SelfCheckResult::Unreadable;
    } catch (const TSha256Error&) {
        return SelfCheckResult::Unreadable;
    }
}

SelfCheckResult CheckFileOrOwn(std::wstring path, const ChunkGate& gate) {
    if (path.empty()) path = OwnExecutablePath();
    return path.empty() ? SelfCheckResult::Unreadable : CheckFileIntegrityThrough(path, gate);
}

}  // namespace

TBackgroundSelfCheck::TBackgroundSelfCheck(std::wstring path, std::function<void()> beforeEachChunk)
    : path_(std::move(path)), beforeEachChunk_(std::move(beforeEachChunk)) {
    // A thread that cannot start leaves the check to Verdict(), on the
    // caller's thread.
    thread_ = StartInstallerThread<&TBackgroundSelfCheck::ThreadEntry>(this);
}

TBackgroundSelfCheck::~TBackgroundSelfCheck() {
    stop_ = true;
    if (thread_) WaitForSingleObject(thread_.get(), INFINITE);
}

unsigned __stdcall TBackgroundSelfCheck::ThreadEntry(void* self) {
    static_cast<TBackgroundSelfCheck*>(self)->Check();
    return 0;
}

void TBackgroundSelfCheck::Check() noexcept {
    try {
        result_ = CheckFileOrOwn(path_, ChunkGate{&stop_, &beforeEachChunk_});
    } catch (...) {
        // Stopped, or out of memory for the chunk: no verdict to give.
        result_ = SelfCheckResult::Unreadable;
    }
}

SelfCheckResult TBackgroundSelfCheck::Verdict() {
    if (!done_) {
        // The wait makes the thread's result visible to this one.
        if (thread_) {
            WaitForSingleObject(thread_.get(), INFINITE);
        } else {
            Check();
        }
        done_ = true;
    }
    return result_;
}

bool ReportSelfCheck(SelfCheckResult result, const TMessenger& messages) {
    switch (result) {
        case SelfCheckResult::Passed:
            return true;
        case SelfCheckResult::Unreadable:
            messages.Tell(Message::SelfCheckUnreadable);
            return false;
        case SelfCheckResult::Distorted:
            break;
    }
    messages.Tell(Message::SelfCheckDistorted);
    return false;
}

}  // namespace lvm
