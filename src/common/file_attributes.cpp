#include "common/file_attributes.h"

#include <windows.h>

#include "common/text.h"

namespace lvm {

namespace {

// The attributes of a file (not a folder), or INVALID_FILE_ATTRIBUTES.
DWORD FileAttributes(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return INVALID_FILE_ATTRIBUTES;
    }
    return attributes;
}

}  // namespace

bool IsExistingFile(const std::string& path) { return FileAttributes(path) != INVALID_FILE_ATTRIBUTES; }

bool IsPlainFileOfOneName(DWORD attributes, DWORD links) {
    return !(attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) && links == 1;
}

uint64_t FileBytes(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return 0;
    }
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool IsReadOnlyFile(const std::string& path) {
    const DWORD attributes = FileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

}  // namespace lvm
