#include "environment/folder_size.h"

#include <windows.h>

#include "common/text.h"

namespace lvm {

// Interim: the top folder's own files only, until the tree walk lands.
int32_t FolderSizeKB(const std::string& path) {
    if (path.empty()) return -1;
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return -1;
    std::string folder = path;
    if (folder.back() != '\\') folder += '\\';
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(Widen(folder + "*.*").c_str(), &data);
    uint32_t total = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) total += data.nFileSizeLow;
        } while (FindNextFileW(search, &data));
        FindClose(search);
    }
    return static_cast<int32_t>(total >> 10);
}

}  // namespace lvm
