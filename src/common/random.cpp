#include "common/random.h"

namespace lvm {

namespace {
uint32_t g_state = 1;
}

void SeedRandom(uint32_t seed) { g_state = seed; }

uint32_t RandomBelow(uint32_t bound) {
    // Linear congruential step; the high bits are the better ones.
    g_state = g_state * 134775813u + 1u;
    return static_cast<uint32_t>((static_cast<uint64_t>(g_state) * bound) >> 32);
}

}  // namespace lvm
