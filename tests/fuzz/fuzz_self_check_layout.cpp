// The self-check's file-format rules over the bytes of a possibly tampered
// executable: the header parse, the record and the tail after it, the masked
// fields and the image checksum, in the order the check applies them.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "fuzz_check.h"
#include "selfcheck/self_check_rules.h"

namespace {

using lvm::TSelfCheckLayout;

constexpr size_t kHeaderBytes = 4096;  // what the check reads before the parse

void Put16(std::vector<uint8_t>& file, size_t at, uint16_t value) {
    if (at + 2 > file.size()) return;
    file[at] = static_cast<uint8_t>(value);
    file[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& file, size_t at, uint32_t value) {
    if (at + 4 > file.size()) return;
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t Get32(const std::vector<uint8_t>& file, size_t at) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= uint32_t{file[at + i]} << (8 * i);
    return value;
}

// Random bytes find the parse's deeper paths too rarely: most inputs here
// are a PE32 header laid out as the linker writes one, with the numbers the
// parse checks drawn near their limits, and then a few bytes overwritten.
std::vector<uint8_t> PickFile(FuzzedDataProvider& data) {
    if (data.ConsumeIntegralInRange<int>(0, 7) == 0) {
        const std::string raw = data.ConsumeRemainingBytesAsString();
        return std::vector<uint8_t>(raw.begin(), raw.end());
    }
    std::vector<uint8_t> file(data.ConsumeIntegralInRange<size_t>(0, 6000), 0);
    const uint32_t fileSize = static_cast<uint32_t>(file.size());
    Put16(file, 0, 0x5A4D);  // "MZ"
    const uint32_t pe = data.ConsumeBool() ? 0x80 : data.ConsumeIntegralInRange<uint32_t>(0, 0x1100);
    Put32(file, 0x3C, pe);
    Put32(file, pe, 0x00004550);  // "PE\0\0"
    const uint16_t sections = data.ConsumeIntegralInRange<uint16_t>(0, 12);
    Put16(file, pe + 6, sections);
    const uint16_t optionalSize = data.ConsumeBool() ? 224 : data.ConsumeIntegralInRange<uint16_t>(130, 260);
    Put16(file, pe + 20, optionalSize);
    const size_t optional = pe + 24;
    // PE32 or PE32+: the data directories start 16 bytes later in PE32+.
    const uint16_t magic = data.ConsumeBool() ? 0x10B : 0x20B;
    Put16(file, optional, magic);
    const size_t directories = optional + (magic == 0x10B ? 96 : 112);
    Put32(file, directories - 4, data.ConsumeIntegralInRange<uint32_t>(3, 16));
    // The record, its covered length near the end of the file, and a
    // certificate entry that is absent, describes the rest of the file (as
    // signing leaves it), or says anything at all.
    const uint32_t record = data.ConsumeIntegralInRange<uint32_t>(0, fileSize);
    const uint32_t covered = fileSize - std::min(fileSize, data.ConsumeIntegralInRange<uint32_t>(0, 40));
    if (record + 12 <= file.size()) {
        std::memcpy(&file[record], "LVM0CHK1", 8);
        Put32(file, record + 8, covered);
    }
    switch (data.ConsumeIntegralInRange<int>(0, 2)) {
        case 0: break;
        case 1:
            Put32(file, directories + 32, covered);
            Put32(file, directories + 36, fileSize - covered);
            break;
        default:
            Put32(file, directories + 32, data.ConsumeIntegral<uint32_t>());
            Put32(file, directories + 36, data.ConsumeIntegral<uint32_t>());
    }
    for (uint16_t i = 0; i < sections; ++i) {
        const size_t entry = optional + optionalSize + 40 * size_t{i};
        const char* name = data.ConsumeBool() ? ".lvmchk" : ".text";
        if (entry + 8 <= file.size()) std::memcpy(&file[entry], name, std::strlen(name) + 1);
        Put32(file, entry + 16, data.ConsumeIntegralInRange<uint32_t>(40, 56));
        Put32(file, entry + 20, data.ConsumeBool() ? record : data.ConsumeIntegralInRange<uint32_t>(0, 6100));
    }
    const int flips = data.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < flips && !file.empty(); ++i) {
        file[data.ConsumeIntegralInRange<size_t>(0, file.size() - 1)] = data.ConsumeIntegral<uint8_t>();
    }
    return file;
}

bool InField(uint64_t at, uint64_t start, uint64_t length) { return at >= start && at < start + length; }

bool IsUncoveredField(const TSelfCheckLayout& layout, uint64_t at) {
    return InField(at, layout.checksumOffset, 4) || InField(at, layout.securityDirOffset, 8) ||
           InField(at, uint64_t{layout.recordOffset} + lvm::kSelfCheckDigestOffset, 32);
}

// The image checksum as the loader and the signing tools compute it: 16-bit
// little-endian words (an odd last byte alone) with the checksum field read
// as zero, the carries folded back in, and the file size added.
uint32_t ReferenceChecksum(std::vector<uint8_t> file, uint32_t checksumOffset) {
    for (uint64_t at = checksumOffset; at < uint64_t{checksumOffset} + 4 && at < file.size(); ++at) {
        file[at] = 0;
    }
    uint64_t sum = 0;
    for (size_t at = 0; at < file.size(); at += 2) {
        sum += file[at] | (at + 1 < file.size() ? file[at + 1] << 8 : 0);
    }
    while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + file.size());
}

// Cuts [0, size) into pieces of even size (the last one may be odd), as the
// checksum requires; the sizes come from the input.
std::vector<size_t> PickPieces(FuzzedDataProvider& data, size_t size) {
    std::vector<size_t> pieces;
    for (size_t done = 0; done < size;) {
        // Once the input is used up, the rest is one piece.
        size_t piece = data.remaining_bytes() == 0 ? size - done
                                                   : 2 * data.ConsumeIntegralInRange<size_t>(1, 700);
        piece = std::min(piece, size - done);
        pieces.push_back(piece);
        done += piece;
    }
    return pieces;
}

void CheckDigestInput(const TSelfCheckLayout& layout, const std::vector<uint8_t>& file, uint32_t covered,
                      const std::vector<size_t>& pieces) {
    // Masked in pieces, as the check reads the file, against masked whole.
    std::vector<uint8_t> whole(file.begin(), file.begin() + covered);
    lvm::MaskUncoveredFields(layout, 0, whole.data(), whole.size());
    std::vector<uint8_t> pieced;
    lvm::TPeChecksum wholeSum(layout.checksumOffset);
    wholeSum.Update(0, file.data(), file.size());
    lvm::TPeChecksum piecedSum(layout.checksumOffset);
    uint64_t offset = 0;
    for (const size_t piece : pieces) {
        std::vector<uint8_t> chunk(file.begin() + offset, file.begin() + offset + piece);
        piecedSum.Update(offset, chunk.data(), chunk.size());
        if (offset < covered) {
            lvm::MaskUncoveredFields(layout, offset, chunk.data(), chunk.size());
            const size_t take = static_cast<size_t>(std::min<uint64_t>(piece, covered - offset));
            pieced.insert(pieced.end(), chunk.begin(), chunk.begin() + take);
        }
        offset += piece;
    }
    FUZZ_CHECK(pieced == whole);
    FUZZ_CHECK(piecedSum.Finish(file.size()) == wholeSum.Finish(file.size()));
    // A PE header starts on an even offset in every file a linker writes; the
    // word sum then meets the checksum field as two whole words.
    if (layout.checksumOffset % 2 == 0) {
        FUZZ_CHECK(wholeSum.Finish(file.size()) == ReferenceChecksum(file, layout.checksumOffset));
    }
    // Every covered byte outside the three fields reaches the digest as it
    // is: a flipped byte anywhere else must change what is hashed.
    for (size_t at = 0; at < whole.size(); ++at) {
        FUZZ_CHECK(whole[at] == (IsUncoveredField(layout, at) ? 0 : file[at]));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const std::vector<uint8_t> file = PickFile(data);
    const size_t headerSize = std::min(file.size(), kHeaderBytes);
    // A copy of exactly the bytes read, so the sanitizer sees any read beyond them.
    const std::vector<uint8_t> headers(file.begin(), file.begin() + headerSize);
    const std::optional<TSelfCheckLayout> layout = lvm::ParseSelfCheckLayout(headers.data(), headers.size());
    if (!layout) return 0;

    // The check copies the checksum field out of the header bytes, and the
    // certificate entry must be the one the fields were read from.
    FUZZ_CHECK(uint64_t{layout->checksumOffset} + 4 <= headerSize);
    FUZZ_CHECK(uint64_t{layout->securityDirOffset} + 8 <= headerSize);
    FUZZ_CHECK(Get32(headers, layout->securityDirOffset) == layout->certificateOffset);
    FUZZ_CHECK(Get32(headers, layout->securityDirOffset + 4) == layout->certificateSize);

    if (uint64_t{layout->recordOffset} + lvm::kSelfCheckRecordSize > file.size()) return 0;
    const uint8_t* record = file.data() + layout->recordOffset;
    if (!lvm::HasSelfCheckMagic(record)) return 0;
    const uint32_t covered = lvm::CoveredLength(record);
    if (!lvm::TailIsAcceptable(*layout, file.size(), covered)) return 0;
    // Accepted: what the digest leaves out is nothing, or exactly the
    // certificate table the header points at, up to the end of the file.
    FUZZ_CHECK(covered <= file.size());
    if (covered < file.size()) {
        FUZZ_CHECK(layout->certificateOffset == covered);
        FUZZ_CHECK(uint64_t{layout->certificateOffset} + layout->certificateSize == file.size());
    }
    CheckDigestInput(*layout, file, covered, PickPieces(data, file.size()));
    return 0;
}
