// SHA-256 on the processor's instructions against CNG's, for every length and
// every size of piece.
#include <gtest/gtest.h>

#include <vector>

#include "common/sha256.h"
#include "common/sha256_cpu.h"

namespace lvm {
namespace {

Sha256Digest HashInPieces(TSha256::Engine engine, const std::vector<uint8_t>& bytes, size_t piece) {
    TSha256 hash(engine);
    for (size_t at = 0; at < bytes.size(); at += piece) {
        hash.Update(bytes.data() + at, std::min(piece, bytes.size() - at));
    }
    return hash.Finish();
}

// The check hashes on the processor where it can: each length around the
// block and padding edges, fed whole and in odd pieces, must give CNG's digest.
TEST(SelfCheckHash, TheProcessorsDigestIsCngsForEveryLengthAndPiece) {
    if (!CpuHasShaExtensions()) GTEST_SKIP() << "this processor has no SHA extensions: CNG alone is used";
    struct Row {
        size_t length;
        size_t piece;
    };
    const Row rows[] = {{0, 1},  {1, 1},   {55, 55}, {56, 56}, {63, 63}, {64, 64},
                        {65, 65}, {65, 1}, {200, 63}, {200, 65}, {(3 << 20) + 7, 1 << 20},
                        {(3 << 20) + 7, 100003}};
    for (const Row& row : rows) {
        std::vector<uint8_t> bytes(row.length);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
        EXPECT_EQ(HashInPieces(TSha256::Engine::Fastest, bytes, row.piece),
                  HashInPieces(TSha256::Engine::Cng, bytes, row.piece))
            << row.length << " bytes in pieces of " << row.piece;
    }
    const std::vector<uint8_t> abc{'a', 'b', 'c'};
    const Sha256Digest expected{0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea, 0x41, 0x41, 0x40,
                                0xde, 0x5d, 0xae, 0x22, 0x23, 0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17,
                                0x7a, 0x9c, 0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};
    EXPECT_EQ(HashInPieces(TSha256::Engine::Fastest, abc, 3), expected);
}

}  // namespace
}  // namespace lvm
