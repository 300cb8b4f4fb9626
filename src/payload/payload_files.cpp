#include "payload/payload_files.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "common/text.h"
#include "payload/payload_rules.h"

namespace lvm {

namespace {

// One huge write can fail on network redirectors with
// ERROR_NO_SYSTEM_RESOURCES; pieces of this size stay far below that limit.
constexpr size_t kChunkSize = 1 << 20;

bool WritePiece(HANDLE file, const TByteRange& piece, const ChunkWriter& writeChunk) {
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

// The folder part of a path, with its backslash, so that a drive's root
// stays "C:\" rather than the drive's current folder "C:".
std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring(L".\\") : path.substr(0, slash + 1);
}

// Opens the folder for listing without delete sharing: while the handle is
// open, nobody can rename the folder, remove it or put a link in its place.
// (A handle without read, write or delete access would not take part in
// sharing at all and would pin nothing.)
ScopedHandle HoldFolder(const std::wstring& folder) {
    return ScopedHandle(CreateFileW(folder.c_str(),
                                    FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// The rename of an open file, as the system takes it: the new name follows
// the fixed part of the structure. Kept in DWORD_PTRs for the alignment of
// the handle inside.
std::vector<DWORD_PTR> RenameInformation(const std::wstring& newName, bool replaceExisting) {
    const size_t nameBytes = newName.size() * sizeof(wchar_t);
    const size_t bytes = offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t);
    std::vector<DWORD_PTR> buffer((bytes + sizeof(DWORD_PTR) - 1) / sizeof(DWORD_PTR), 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replaceExisting ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->FileName, newName.c_str(), nameBytes);
    return buffer;
}

}  // namespace

// While the data is incomplete the request stands, so even a process killed
// mid-write leaves no truncated file behind.
bool SystemSetDeleteOnClose(HANDLE file, bool remove) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

bool SystemFlushFile(HANDLE file) { return FlushFileBuffers(file) != 0; }

bool SystemRenameFile(HANDLE file, const std::wstring& newName, bool replaceExisting) {
    std::vector<DWORD_PTR> rename = RenameInformation(newName, replaceExisting);
    return SetFileInformationByHandle(file, FileRenameInfo, rename.data(),
                                      static_cast<DWORD>(rename.size() * sizeof(DWORD_PTR))) != 0;
}

bool SystemScheduleMoveAtRestart(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

bool IsHeldError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

void ClearFilesKeptForRestart(const std::string& destination) {
    const std::wstring pattern = Widen(RestartKeptPattern(destination));
    const std::wstring folder = FolderOf(pattern);
    WIN32_FIND_DATAW found{};
    const ScopedFindHandle search(FindFirstFileW(pattern.c_str(), &found));
    if (!search) return;
    do {
        if (IsRestartKeptName(Narrow(found.cFileName), destination)) {
            SystemClearLeftover(folder + found.cFileName, SystemDescribeFile);
        }
    } while (FindNextFileW(search.get(), &found));
}

bool SystemWriteChunk(HANDLE file, const void* bytes, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, bytes, size, &written, nullptr) && written == size;
}

ScopedHandle OpenForReading(const std::string& path) {
    return ScopedHandle(CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool SystemDescribeFile(HANDLE handle, TFileDescription& facts) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information)) return false;
    facts.attributes = information.dwFileAttributes;
    facts.links = information.nNumberOfLinks;
    // The NT form of the volume exists for every volume, also one mounted
    // in a folder without a drive letter; both paths compared take it.
    facts.finalPath = QueryWideString([handle](wchar_t* buffer, DWORD size) {
        return GetFinalPathNameByHandleW(handle, buffer, size, FILE_NAME_NORMALIZED | VOLUME_NAME_NT);
    });
    return true;
}

bool MayClearLeftover(DWORD attributes) {
    // A link, to a file or to a folder, goes as a link whatever it carries.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    return !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
}

void SystemClearLeftover(const std::wstring& path, FileDescriber describe) {
    // Opened as itself: a symbolic link or a junction is not followed, and
    // backup semantics let a junction (a folder) be opened at all.
    ScopedHandle leftover(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                      nullptr));
    TFileDescription facts;
    if (!leftover || !describe(leftover.get(), facts)) return;
    // Deleted through this handle: the name it was opened by goes, and with
    // a hard link the other names and the data stay.
    if (MayClearLeftover(facts.attributes)) SystemSetDeleteOnClose(leftover.get(), true);
}

bool IsSoundNewFile(const TFileDescription& file, const std::wstring& folderFinalPath) {
    if (!IsPlainFileOfOneName(file.attributes, file.links) || folderFinalPath.empty()) return false;
    std::wstring folder = folderFinalPath;
    if (folder.back() != L'\\') folder += L'\\';
    if (file.finalPath.size() <= folder.size()) return false;
    // The same folder gives the same text, up to letter case where a file
    // system ignores it.
    if (CompareStringOrdinal(file.finalPath.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                             static_cast<int>(folder.size()), TRUE) != CSTR_EQUAL) {
        return false;
    }
    // Directly inside, as a file of its own, not a stream of another one.
    return file.finalPath.find_first_of(L"\\:", folder.size()) == std::wstring::npos;
}

bool TStagedFile::Create(const std::string& temporary) {
    const std::wstring path = Widen(temporary);
    folder_ = HoldFolder(FolderOf(path));
    TFileDescription folder;
    if (!folder_ || !SystemDescribeFile(folder_.get(), folder) || folder.finalPath.empty()) return false;

    seams_.clearLeftover(path, seams_.describe);
    // CREATE_NEW never opens what lies at the name: whatever is planted there
    // again after the clearing makes the create fail instead of being
    // followed. Read sharing lets the version probes read the new file.
    file_.reset(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) return false;
    TFileDescription created;
    if (!seams_.describe(file_.get(), created) || !IsSoundNewFile(created, folder.finalPath)) {
        Discard();
        return false;
    }
    return true;
}

bool TStagedFile::Write(const std::vector<TByteRange>& pieces) {
    if (!seams_.setDeleteOnClose(file_.get(), true)) return false;
    for (const TByteRange& piece : pieces) {
        if (!WritePiece(file_.get(), piece, seams_.writeChunk)) return false;
    }
    // Flushed before anything can rename or use it: otherwise a power cut
    // soon after could leave a file of the right name with zeros in it.
    if (!seams_.flush(file_.get())) return false;
    return seams_.setDeleteOnClose(file_.get(), false);
}

CommitResult TStagedFile::Commit(const std::string& destination) {
    // A read-only target makes the rename fail on Windows by itself; the
    // attribute is checked first so that it also holds where it would not.
    if (IsReadOnlyFile(destination)) return CommitResult::Failed;
    // One rename that replaces the target: the folder always holds either the
    // old file or the new one, never neither. It fails while another process
    // holds the target open without delete sharing. A link at the target is
    // replaced as a link.
    if (!seams_.rename(file_.get(), Widen(destination), true)) {
        // Only a file can be held; a folder of that name stays a failure.
        return IsHeldError(GetLastError()) && IsExistingFile(destination) ? CommitResult::Held
                                                                            : CommitResult::Failed;
    }
    Close();
    return CommitResult::Done;
}

bool TStagedFile::KeepForRestart(const std::string& kept, const std::string& destination) {
    // Through the same handle, as with the destination: the file that was
    // written and checked is the file kept. Nothing at the name is replaced,
    // so whatever someone planted there in advance makes this fail.
    if (!seams_.rename(file_.get(), Widen(kept), false) ||
        !seams_.scheduleMoveAtRestart(Widen(kept), Widen(destination))) {
        Discard();
        return false;
    }
    Close();
    return true;
}

void TStagedFile::Keep() { Close(); }

void TStagedFile::Discard() {
    if (file_) seams_.setDeleteOnClose(file_.get(), true);
    Close();
}

void TStagedFile::Close() {
    file_.reset();
    folder_.reset();
}

}  // namespace lvm
