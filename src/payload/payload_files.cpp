#include "payload/payload_files.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "common/text.h"

namespace lvm {

namespace {

// One huge write can fail on network redirectors with
// ERROR_NO_SYSTEM_RESOURCES; pieces of this size stay far below that limit.
constexpr size_t kChunkSize = 1 << 20;

// Asks the file system to delete the file when its last handle closes, or
// withdraws that request. While the data is incomplete the request stands,
// so even a process killed mid-write leaves no truncated file behind.
bool SetDeleteOnClose(HANDLE file, bool remove) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// A file this run has created or truncated: removed again unless Keep() was
// called once its data is complete and on disk.
class NewFile {
public:
    NewFile(std::wstring path, ScopedHandle handle) : path_(std::move(path)), handle_(std::move(handle)) {}
    ~NewFile() {
        handle_.reset();
        if (!kept_) DeleteFileW(path_.c_str());
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    HANDLE get() const { return handle_.get(); }
    void Keep() { kept_ = true; }

private:
    std::wstring path_;
    ScopedHandle handle_;
    bool kept_ = false;
};

bool WritePiece(HANDLE file, const ByteRange& piece, ChunkWriter writeChunk) {
    const char* bytes = static_cast<const char*>(piece.data);
    size_t left = piece.size;
    while (left > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min(left, kChunkSize));
        if (!writeChunk(file, bytes, chunk)) return false;
        bytes += chunk;
        left -= chunk;
    }
    return true;
}

ScopedHandle CreateForWriting(const std::wstring& path, DWORD access) {
    // No sharing: nobody reads the file while it is incomplete.
    return ScopedHandle(
        CreateFileW(path.c_str(), access, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

bool SystemWriteChunk(HANDLE file, const void* bytes, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, bytes, size, &written, nullptr) && written == size;
}

ScopedHandle OpenForReading(const std::string& path) {
    return ScopedHandle(CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool WriteWholeFile(const std::string& path, const std::vector<ByteRange>& pieces, ChunkWriter writeChunk) {
    // Windows refuses to open a read-only file for writing; the attribute is
    // checked here as well, so that a file the user has protected stays
    // untouched even where the file system would let a privileged account
    // through.
    if (IsReadOnlyFile(path)) return false;
    const std::wstring widePath = Widen(path);
    ScopedHandle handle = CreateForWriting(widePath, GENERIC_WRITE | DELETE);
    // Where the folder's rights allow writing but not deleting, the file is
    // still written; only the delete-on-close safety net is missing then.
    if (!handle && GetLastError() == ERROR_ACCESS_DENIED) handle = CreateForWriting(widePath, GENERIC_WRITE);
    if (!handle) return false;

    NewFile file(widePath, std::move(handle));
    const bool deleteOnClose = SetDeleteOnClose(file.get(), true);
    for (const ByteRange& piece : pieces) {
        if (!WritePiece(file.get(), piece, writeChunk)) return false;
    }
    // Flushed before anything can rename or use it: otherwise a power cut
    // soon after could leave a file of the right name with zeros in it.
    if (!FlushFileBuffers(file.get())) return false;
    if (deleteOnClose && !SetDeleteOnClose(file.get(), false)) return false;
    file.Keep();
    return true;
}

bool ReplaceFileWith(const std::string& target, const std::string& source) {
    // On Windows the replace fails on a read-only target by itself; the
    // attribute is checked first so that it also holds where it would not.
    if (IsReadOnlyFile(target)) return false;
    // One rename that replaces the target: the folder always holds either the
    // old file or the new one, never neither. It fails while another process
    // holds the target open without delete sharing.
    return MoveFileExW(Widen(source).c_str(), Widen(target).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace lvm
