// The installed size: all files under a folder, in KiB.
#pragma once

#include <cstdint>
#include <string>

namespace lvm {

// -1 when the path is empty or names no existing folder; otherwise the total
// size of every file in the tree, in whole KiB.
int32_t FolderSizeKB(const std::string& path);

}  // namespace lvm
