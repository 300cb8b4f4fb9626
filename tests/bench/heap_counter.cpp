// Replaces the global allocation functions of the bench program only (never
// of the installer) with ones that count what they hand out. Sizes come from
// _msize, so a release needs no header of its own in front of the block.
#include "heap_counter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace lvm::bench {
namespace {

std::atomic<size_t> g_live{0};
std::atomic<size_t> g_peak{0};

void CountAllocation(void* block) {
    const size_t live = g_live.fetch_add(_msize(block)) + _msize(block);
    size_t peak = g_peak.load();
    while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
    }
}

void* Allocate(size_t size) noexcept {
    void* block = std::malloc(size != 0 ? size : 1);
    if (block) CountAllocation(block);
    return block;
}

void Release(void* block) noexcept {
    if (!block) return;
    g_live.fetch_sub(_msize(block));
    std::free(block);
}

void* AllocateOrThrow(size_t size) {
    void* block = Allocate(size);
    if (!block) throw std::bad_alloc();
    return block;
}

}  // namespace

HeapFigures CurrentHeap() {
    HeapFigures figures;
    figures.liveBytes = g_live.load();
    figures.peakBytes = g_peak.load();
    return figures;
}

void ResetHeapPeak() { g_peak.store(g_live.load()); }

}  // namespace lvm::bench

void* operator new(size_t size) { return lvm::bench::AllocateOrThrow(size); }
void* operator new[](size_t size) { return lvm::bench::AllocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return lvm::bench::Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return lvm::bench::Allocate(size); }
void operator delete(void* block) noexcept { lvm::bench::Release(block); }
void operator delete[](void* block) noexcept { lvm::bench::Release(block); }
void operator delete(void* block, size_t) noexcept { lvm::bench::Release(block); }
void operator delete[](void* block, size_t) noexcept { lvm::bench::Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { lvm::bench::Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { lvm::bench::Release(block); }
