// File operations of the payload writer and the version probes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/file_attributes.h"
#include "common/scoped_handle.h"

namespace lvm {

// Opens an existing file for reading, sharing it with every other opener
// (the probes read files that the application may hold open). Invalid on failure.
ScopedHandle OpenForReading(const std::string& path);

// A piece of the data to write.
struct ByteRange {
    const void* data;
    size_t size;
};

// Writes one chunk of a file: the system's WriteFile, or a test's stand-in
// that makes a write fail part-way.
using ChunkWriter = bool (*)(HANDLE file, const void* bytes, DWORD size);
bool SystemWriteChunk(HANDLE file, const void* bytes, DWORD size);

// Creates the file (or truncates an existing one) and writes the pieces one
// after the other, chunk by chunk, flushed to the disk before it is closed. A
// read-only file is never overwritten. When anything fails after the file was
// opened, the file is removed, so no truncated copy stays under its name.
bool WriteWholeFile(const std::string& path, const std::vector<ByteRange>& pieces,
                    ChunkWriter writeChunk = SystemWriteChunk);

// Puts `source` in the place of `target` in one step that either completes
// or leaves `target` as it was. A read-only target is not replaced.
bool ReplaceFileWith(const std::string& target, const std::string& source);

}  // namespace lvm
