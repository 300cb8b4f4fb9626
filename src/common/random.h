// The process's pseudo-random generator: seeded once at start-up, drawn from
// for temporary file names.
#pragma once

#include <cstdint>

namespace lvm {

void SeedRandom(uint32_t seed);
// A value in [0, bound); bound must be positive.
uint32_t RandomBelow(uint32_t bound);

}  // namespace lvm
