#include "environment/folder_size.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "common/scoped_handle.h"
#include "common/text.h"
#include "environment/path_rules.h"

namespace lvm {

namespace {

// The folder as the file API should see it: made absolute and normalised the
// way every Win32 call would, then given the "\\?\" prefix so that a deep tree
// does not stop at MAX_PATH. Empty when the path cannot be resolved.
std::wstring ResolvedFolder(const std::string& path) {
    const std::wstring wide = Widen(path);
    if (wide.empty()) return std::wstring();
    const std::wstring full = QueryWideString(
        [&wide](wchar_t* buffer, DWORD size) { return GetFullPathNameW(wide.c_str(), size, buffer, nullptr); });
    if (full.empty()) return std::wstring();
    return WithoutTrailingBackslashes(ExtendedLengthPath(full));
}

bool IsExistingFolder(const std::wstring& folder) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

std::wstring ChildPath(const std::wstring& folder, const wchar_t* name) {
    std::wstring child = folder;
    if (child.empty() || child.back() != L'\\') child += L'\\';
    return child += name;
}

uint64_t EntrySize(const WIN32_FIND_DATAW& entry) {
    return (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
}

// Adds the sizes of the folder's files to `total` and queues its subfolders.
// Only one search is open at a time: it is closed before the next folder.
void ListFolder(const std::wstring& folder, uint64_t& total, std::deque<std::wstring>& pending) {
    WIN32_FIND_DATAW entry;
    // "*" rather than "*.*": with the "\\?\" prefix the pattern is matched as
    // written, and "*.*" could then miss names without a dot.
    ScopedFindHandle search(FindFirstFileExW(ChildPath(folder, L"*").c_str(), FindExInfoBasic, &entry,
                                             FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    // A folder that cannot be listed (no access, removed meanwhile) counts as empty.
    if (!search) return;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            // Every file counts, whatever its attributes.
            total += EntrySize(entry);
        } else if (!IsDotEntry(entry.cFileName) && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            // A junction, directory link or mount point is not descended: one
            // that leads back into the tree would make the walk endless, and
            // one that leads out of it would count files that are not the
            // application's.
            pending.push_back(ChildPath(folder, entry.cFileName));
        }
    } while (FindNextFileW(search.get(), &entry));
}

}  // namespace

int32_t KibibytesCapped(uint64_t bytes) {
    const uint64_t kib = bytes >> 10;
    const uint64_t largest = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(kib < largest ? kib : largest);
}

int32_t FolderSizeKB(const std::string& path, uint64_t bytesLeaving) {
    if (path.empty()) return -1;
    const std::wstring root = ResolvedFolder(path);
    if (root.empty() || !IsExistingFolder(root)) return -1;

    // Breadth-first: the given folder, then its subfolders in the order found,
    // then theirs. Only folder paths are held, and a folder's path is dropped
    // once it has been listed, so memory follows the width of the tree.
    uint64_t total = 0;
    std::deque<std::wstring> pending{root};
    while (!pending.empty()) {
        const std::wstring folder = std::move(pending.front());
        pending.pop_front();
        ListFolder(folder, total, pending);
    }
    return KibibytesCapped(total - std::min(total, bytesLeaving));
}

}  // namespace lvm
