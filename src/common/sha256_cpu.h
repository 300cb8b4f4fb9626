// SHA-256 block compression on the processor's SHA extensions, for machines
// whose CNG does not use them (32-bit CNG under some hosts) or where the
// check must not wait on a system library at all.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lvm {

// Whether CPUID reports the SHA extensions and the SSSE3 and SSE4.1
// instructions the compression needs beside them.
bool CpuHasShaExtensions();

// Runs `blockCount` 64-byte blocks through the eight-word state. Only where
// CpuHasShaExtensions() is true.
void Sha256CompressOnCpu(uint32_t state[8], const uint8_t* blocks, size_t blockCount);

}  // namespace lvm
