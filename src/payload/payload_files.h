// File operations of the payload writer and the version probes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "common/file_attributes.h"
#include "common/scoped_handle.h"

namespace lvm {

// Opens an existing file for reading, sharing it with every other opener
// (the probes read files that the application may hold open). Invalid on failure.
ScopedHandle OpenForReading(const std::string& path);

// A piece of the data to write.
struct TByteRange {
    const void* data;
    size_t size;
};

// Writes one chunk of a file: the system's WriteFile, or a test's stand-in
// that makes a write fail part-way.
using ChunkWriter = std::function<bool(HANDLE file, const void* bytes, DWORD size)>;
bool SystemWriteChunk(HANDLE file, const void* bytes, DWORD size);

// What an open handle refers to, as the file system tells it.
struct TFileDescription {
    DWORD attributes = 0;
    DWORD links = 0;
    std::wstring finalPath;  // the file system's own path of the object, volume in NT form
};
// Tells what an open handle refers to: the system's way, or a test's that
// makes it look like something planted. False when even the attributes
// cannot be read; the final path is empty when the system cannot give it.
using FileDescriber = std::function<bool(HANDLE handle, TFileDescription& facts)>;
bool SystemDescribeFile(HANDLE handle, TFileDescription& facts);

// Removes whatever lies at the temporary name before a new file is made
// there, deciding by what `describe` tells of it: the system's way, or a
// test's that plants something again at once.
using LeftoverClearer = std::function<void(const std::wstring& path, FileDescriber describe)>;
void SystemClearLeftover(const std::wstring& path, FileDescriber describe);

// Flushes what was written to the disk: the system's FlushFileBuffers, or a
// test's stand-in that records the order of the calls or fails.
using FileFlusher = std::function<bool(HANDLE file)>;
bool SystemFlushFile(HANDLE file);

// Asks the file system to delete the file when its last handle closes
// (`remove`), or withdraws that request.
using DeleteOnCloseSetter = std::function<bool(HANDLE file, bool remove)>;
bool SystemSetDeleteOnClose(HANDLE file, bool remove);

// Gives an open file another name in its volume, replacing a file of that
// name only when `replaceExisting`.
using HandleRenamer = std::function<bool(HANDLE file, const std::wstring& newName, bool replaceExisting)>;
bool SystemRenameFile(HANDLE file, const std::wstring& newName, bool replaceExisting);

// Registers the move of `from` over `to` that the system carries out at the
// next restart, before any program can hold `to`.
using RestartMoveScheduler = std::function<bool(const std::wstring& from, const std::wstring& to)>;
bool SystemScheduleMoveAtRestart(const std::wstring& from, const std::wstring& to);

// The file-system calls of a staged write that tests replace.
struct TStagingSeams {
    ChunkWriter writeChunk = SystemWriteChunk;
    FileDescriber describe = SystemDescribeFile;
    LeftoverClearer clearLeftover = SystemClearLeftover;
    FileFlusher flush = SystemFlushFile;
    DeleteOnCloseSetter setDeleteOnClose = SystemSetDeleteOnClose;
    HandleRenamer rename = SystemRenameFile;
    RestartMoveScheduler scheduleMoveAtRestart = SystemScheduleMoveAtRestart;
};

// How giving the staged file the destination's name went.
enum class CommitResult {
    Done,
    Held,    // another program holds the destination (or the new file) open
    Failed,  // for any other reason: read-only, a folder there, no access
};

// Whether the error of a failed replace means that another process holds
// one of the two files: a sharing or lock violation, or the access denied
// that a rename over a file open without delete sharing gets.
bool IsHeldError(DWORD error);

// Removes the files that runs before kept beside the destination for the
// next restart (each opened as itself, as the leftover at the temporary
// name is): once the destination has been replaced now, the moves the system
// would carry out at the restart find nothing to move.
void ClearFilesKeptForRestart(const std::string& destination);

// Whether what lies at the temporary name, opened as itself (a link as the
// link), may be removed: a file, a hard link (only that name goes) or a link
// of any kind, but neither a real folder nor a file someone made read-only.
bool MayClearLeftover(DWORD attributes);

// Whether a file this run has just created is the new file it asked for: a
// plain file with no other name, directly inside the folder whose final path
// is given. Anything else means the name or the folder was redirected.
bool IsSoundNewFile(const TFileDescription& file, const std::wstring& folderFinalPath);

// A new file written beside its destination under a temporary name and then
// given the destination's name, all through one handle:
//  - the folder is held open without delete sharing, so it cannot be renamed
//    away or swapped for a link while the file is staged;
//  - what lies at the temporary name is removed as itself, and the file is
//    made with CREATE_NEW, so nothing planted there is ever written through;
//  - the new handle is checked before a byte is written;
//  - the rename goes through the same handle, so the file written is the file
//    that gets the name.
// Until Keep() or a successful Commit(), the file is removed when this object
// goes, through its handle; a run ended by force mid-write leaves nothing
// either, since the file is delete-on-close while its data are incomplete.
class TStagedFile {
public:
    explicit TStagedFile(const TStagingSeams& seams) : seams_(seams) {}
    ~TStagedFile() { Discard(); }
    TStagedFile(const TStagedFile&) = delete;
    TStagedFile& operator=(const TStagedFile&) = delete;

    // Clears the temporary name and creates the file there. False, with
    // nothing left behind, when the folder cannot be held, the name cannot be
    // taken as a new file or the new file is not sound.
    bool Create(const std::string& temporary);
    // Writes the pieces one after the other and flushes them to the disk.
    bool Write(const std::vector<TByteRange>& pieces);
    // Gives the file the destination's name, replacing a file there in one
    // step. A read-only destination is not replaced. Unless Done, the file is
    // still staged under its temporary name.
    CommitResult Commit(const std::string& destination);
    // Gives the file the name `kept` (never replacing anything there) and
    // has the system move it over the destination at the next restart. On
    // failure the file is removed through its handle.
    bool KeepForRestart(const std::string& kept, const std::string& destination);
    // Leaves the staged file under its temporary name.
    void Keep();
    // Removes the staged file.
    void Discard();

private:
    void Close();

    TStagingSeams seams_;
    ScopedHandle folder_;
    ScopedHandle file_;
};

}  // namespace lvm
