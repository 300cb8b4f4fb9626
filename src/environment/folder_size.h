// The installed size: all files under a folder, in KiB.
#pragma once

#include <cstdint>
#include <string>

namespace lvm {

// -1 when the path is empty or names no existing folder; otherwise the total
// size of every file in the tree, less `bytesLeaving` (a file that goes at
// the next restart), in whole KiB, capped at INT32_MAX. Folder links
// (junctions, directory symbolic links, mount points) inside the tree are
// not followed; folders that cannot be listed count as empty.
int32_t FolderSizeKB(const std::string& path, uint64_t bytesLeaving = 0);

// The KiB value of a byte total: the remainder below 1024 dropped, capped at
// the largest positive 32-bit value.
int32_t KibibytesCapped(uint64_t bytes);

}  // namespace lvm
