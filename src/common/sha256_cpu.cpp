#include "common/sha256_cpu.h"

#include <cpuid.h>
#include <immintrin.h>

namespace lvm {

namespace {

// The first 32 bits of the fractional parts of the cube roots of the first
// 64 primes, four words to a round group.
alignas(16) const uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr unsigned kLeaf7ShaBit = 1u << 29;      // EBX
constexpr unsigned kLeaf1Ssse3Bit = 1u << 9;     // ECX
constexpr unsigned kLeaf1Sse41Bit = 1u << 19;    // ECX

}  // namespace

bool CpuHasShaExtensions() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    if ((ecx & kLeaf1Ssse3Bit) == 0 || (ecx & kLeaf1Sse41Bit) == 0) return false;
    if (__get_cpuid_max(0, nullptr) < 7) return false;
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    return (ebx & kLeaf7ShaBit) != 0;
}

// A 32-bit Windows thread's stack is only 4-byte aligned where the system or
// another compiler's code calls in; the vectors this function keeps on the
// stack need 16, so it aligns the stack itself there.
#if defined(__i386__)
#define LVM_ALIGN_STACK_FOR_VECTORS __attribute__((force_align_arg_pointer))
#else
#define LVM_ALIGN_STACK_FOR_VECTORS
#endif

// Only this function uses the extensions, so the rest of the program still
// runs on any i686 processor.
__attribute__((target("sha,ssse3,sse4.1"))) LVM_ALIGN_STACK_FOR_VECTORS void Sha256CompressOnCpu(uint32_t state[8], const uint8_t* blocks,
                                                                   size_t blockCount) {
    // The instructions keep the state as the pairs ABEF and CDGH.
    const __m128i bigEndianWords = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    const __m128i dcba = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(dcba, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, dcba, 0xF0);

    for (; blockCount > 0; --blockCount, blocks += 64) {
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        // Four groups of four schedule words, each group g held in words[g % 4].
        __m128i words[4];
#pragma GCC unroll 16
        for (int group = 0; group < 16; ++group) {
            if (group < 4) {
                words[group] = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * group)), bigEndianWords);
            } else {
                // W[t] = s1(W[t-2]) + W[t-7] + s0(W[t-15]) + W[t-16]
                const __m128i& older = words[group % 4];         // W[t-16..]
                const __m128i& old = words[(group + 1) % 4];     // W[t-12..]
                const __m128i& recent = words[(group + 2) % 4];  // W[t-8..]
                const __m128i& latest = words[(group + 3) % 4];  // W[t-4..]
                const __m128i partial =
                    _mm_add_epi32(_mm_sha256msg1_epu32(older, old), _mm_alignr_epi8(latest, recent, 4));
                words[group % 4] = _mm_sha256msg2_epu32(partial, latest);
            }
            __m128i input = _mm_add_epi32(
                words[group % 4], _mm_load_si128(reinterpret_cast<const __m128i*>(kRoundConstants + 4 * group)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, input);
            input = _mm_shuffle_epi32(input, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, input);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

}  // namespace lvm
