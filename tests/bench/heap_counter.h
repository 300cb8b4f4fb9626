// Bytes held through operator new by the bench program, with their high-water
// mark: how much a walk keeps alive at its peak, without the noise of the
// process's working set.
#pragma once

#include <cstddef>

namespace lvm::bench {

struct HeapFigures {
    size_t liveBytes = 0;
    size_t peakBytes = 0;
};

HeapFigures CurrentHeap();
// Starts a new high-water mark from what is live now.
void ResetHeapPeak();

}  // namespace lvm::bench
