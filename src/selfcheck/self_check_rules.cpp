#include "selfcheck/self_check_rules.h"

#include <algorithm>
#include <cstring>

namespace lvm {

namespace {

const char kMagic[8] = {'L', 'V', 'M', '0', 'C', 'H', 'K', '1'};
const char kSectionName[8] = {'.', 'l', 'v', 'm', 'c', 'h', 'k', '\0'};

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool Fits(uint64_t offset, uint64_t length, size_t size) { return offset + length <= size; }

// Zeroes the overlap of [fieldStart, fieldStart + fieldLength) with the chunk.
void ZeroOverlap(uint64_t fieldStart, uint64_t fieldLength, uint64_t chunkOffset, uint8_t* chunk,
                 size_t size) {
    const uint64_t begin = fieldStart > chunkOffset ? fieldStart : chunkOffset;
    const uint64_t fieldEnd = fieldStart + fieldLength;
    const uint64_t chunkEnd = chunkOffset + size;
    const uint64_t end = fieldEnd < chunkEnd ? fieldEnd : chunkEnd;
    if (begin < end) std::memset(chunk + (begin - chunkOffset), 0, static_cast<size_t>(end - begin));
}

}  // namespace

std::optional<TSelfCheckLayout> ParseSelfCheckLayout(const uint8_t* headers, size_t size) {
    if (!Fits(0, 0x40, size) || headers[0] != 'M' || headers[1] != 'Z') return std::nullopt;
    const uint32_t peOffset = Read32(headers + 0x3C);
    if (!Fits(peOffset, 24, size) || std::memcmp(headers + peOffset, "PE\0\0", 4) != 0) {
        return std::nullopt;
    }
    const uint64_t coff = uint64_t{peOffset} + 4;
    const uint16_t sectionCount = Read16(headers + coff + 2);
    const uint16_t optionalSize = Read16(headers + coff + 16);
    const uint64_t optional = coff + 20;
    // A PE32 optional header (the shipped i686 file) or a PE32+ one (an x86_64
    // build), with at least five data directories; PE32+ has an 8-byte image
    // base and 8-byte stack and heap sizes, which move the directories 16 bytes on.
    if (!Fits(optional, 2, size)) return std::nullopt;
    const uint16_t peMagic = Read16(headers + optional);
    if (peMagic != 0x10B && peMagic != 0x20B) return std::nullopt;
    const uint64_t directories = optional + (peMagic == 0x10B ? 96 : 112);
    if (optionalSize < directories - optional + 5 * 8 || !Fits(optional, optionalSize, size)) return std::nullopt;
    if (Read32(headers + directories - 4) < 5) return std::nullopt;  // NumberOfRvaAndSizes

    TSelfCheckLayout layout;
    layout.checksumOffset = static_cast<uint32_t>(optional + 64);
    layout.securityDirOffset = static_cast<uint32_t>(directories + 4 * 8);
    layout.certificateOffset = Read32(headers + layout.securityDirOffset);
    layout.certificateSize = Read32(headers + layout.securityDirOffset + 4);

    const uint64_t sections = optional + optionalSize;
    if (!Fits(sections, uint64_t{sectionCount} * 40, size)) return std::nullopt;
    bool found = false;
    for (uint32_t i = 0; i < sectionCount; ++i) {
        const uint8_t* entry = headers + sections + 40 * i;
        if (std::memcmp(entry, kSectionName, sizeof(kSectionName)) != 0) continue;
        if (found) return std::nullopt;  // exactly one record
        if (Read32(entry + 16) < kSelfCheckRecordSize) return std::nullopt;
        layout.recordOffset = Read32(entry + 20);
        found = true;
    }
    if (!found) return std::nullopt;
    return layout;
}

bool HasSelfCheckMagic(const uint8_t* record) {
    return std::memcmp(record, kMagic, sizeof(kMagic)) == 0;
}

uint32_t CoveredLength(const uint8_t* record) { return Read32(record + 8); }

bool TailIsAcceptable(const TSelfCheckLayout& layout, uint64_t fileSize, uint32_t coveredLength) {
    if (fileSize < coveredLength) return false;
    if (fileSize == coveredLength) return layout.certificateOffset == 0 && layout.certificateSize == 0;
    // Signing appends the certificate table right at the end of the stamped
    // file and points the directory entry at it.
    return layout.certificateOffset == coveredLength &&
           uint64_t{layout.certificateSize} == fileSize - coveredLength;
}

void MaskUncoveredFields(const TSelfCheckLayout& layout, uint64_t chunkOffset, uint8_t* chunk,
                         size_t size) {
    ZeroOverlap(layout.checksumOffset, 4, chunkOffset, chunk, size);
    ZeroOverlap(layout.securityDirOffset, 8, chunkOffset, chunk, size);
    ZeroOverlap(uint64_t{layout.recordOffset} + kSelfCheckDigestOffset, 32, chunkOffset, chunk, size);
}

namespace {

// The 16-bit little-endian word at `i` of a chunk; the last byte of an odd
// chunk counts alone.
uint32_t WordAt(const uint8_t* chunk, size_t size, size_t i) {
    return i + 1 < size ? Read16(chunk + i) : chunk[i];
}

}  // namespace

void TPeChecksum::Update(uint64_t chunkOffset, const uint8_t* chunk, size_t size) {
    // Plain sums, folded only at the end: folding the carries back in after
    // every word gives the same checksum (both are the sum modulo 0xFFFF, with
    // 0 only for an all-zero sum), and summing eight bytes a step keeps this
    // pass small beside the hash. 6 M words of at most 0xFFFF cannot overflow
    // 64 bits.
    uint64_t sum = 0;
    size_t i = 0;
    // Two 32-bit lanes, each taking two words a step (at most 0x1FFFE): 32768
    // steps (256 KiB) fit a lane, and then the lanes go into the plain sum.
    constexpr uint64_t kLowWords = 0x0000FFFF0000FFFFull;
    constexpr size_t kStepsPerBlock = 32768;
    while (i + 8 <= size) {
        const size_t steps = std::min((size - i) / 8, kStepsPerBlock);
        uint64_t lanes = 0;
        for (size_t step = 0; step < steps; ++step, i += 8) {
            uint64_t eight;
            std::memcpy(&eight, chunk + i, 8);  // little-endian, as on every Windows machine
            lanes += (eight & kLowWords) + ((eight >> 16) & kLowWords);
        }
        sum += (lanes & 0xFFFFFFFFull) + (lanes >> 32);
    }
    for (; i < size; i += 2) sum += WordAt(chunk, size, i);
    // The checksum field itself counts as zero. The loader's field starts at
    // an even offset; a field at an odd offset never meets a word start, and
    // nothing is left out, as a word-by-word walk would do.
    for (const uint64_t field : {uint64_t{checksumOffset_}, uint64_t{checksumOffset_} + 2}) {
        if (field % 2 != 0 || chunkOffset % 2 != 0) continue;
        if (field >= chunkOffset && field < chunkOffset + size) {
            sum -= WordAt(chunk, size, static_cast<size_t>(field - chunkOffset));
        }
    }
    sum_ += sum;
}

uint32_t TPeChecksum::Finish(uint64_t fileSize) const {
    uint64_t sum = sum_;
    while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + fileSize);
}

}  // namespace lvm
