// What a path names, as its attributes tell.
#pragma once

#include <string>

namespace lvm {

// A file, not a folder, exists at the path.
bool IsExistingFile(const std::string& path);

// A file exists at the path and carries the read-only attribute.
bool IsReadOnlyFile(const std::string& path);

}  // namespace lvm
