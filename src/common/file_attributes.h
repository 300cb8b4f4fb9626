// What a path or an open handle names, as its attributes tell.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace lvm {

// A file, not a folder, exists at the path.
bool IsExistingFile(const std::string& path);

// The size of the file at the path; 0 when there is none.
uint64_t FileBytes(const std::string& path);

// A file exists at the path and carries the read-only attribute.
bool IsReadOnlyFile(const std::string& path);

// What an open handle tells is a plain file with this one name: not a folder,
// not a reparse point (a symbolic link, a junction) and no hard link to a file
// elsewhere. Only such a file may be written with administrator rights in a
// folder that users can write.
bool IsPlainFileOfOneName(DWORD attributes, DWORD links);

}  // namespace lvm
