// The file-format side of the self-check, over plain bytes (no Windows calls).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace lvm {

constexpr size_t kSelfCheckRecordSize = 48;
constexpr size_t kSelfCheckDigestOffset = 16;  // within the record

struct TSelfCheckLayout {
    uint32_t checksumOffset = 0;       // PE checksum field
    uint32_t securityDirOffset = 0;    // certificate-table directory entry (8 bytes)
    uint32_t certificateOffset = 0;    // its contents: file offset of the table
    uint32_t certificateSize = 0;
    uint32_t recordOffset = 0;         // the ".lvmchk" section's raw data
};

// Reads the layout from the start of the file (its headers). Empty when the
// bytes are not a 32-bit PE file with a ".lvmchk" section large enough for
// the record.
std::optional<TSelfCheckLayout> ParseSelfCheckLayout(const uint8_t* headers, size_t size);

// True when `record` starts with the record's magic.
bool HasSelfCheckMagic(const uint8_t* record);
uint32_t CoveredLength(const uint8_t* record);

// Whether the bytes after the covered length (if any) are exactly a
// certificate table that the directory entry describes.
bool TailIsAcceptable(const TSelfCheckLayout& layout, uint64_t fileSize, uint32_t coveredLength);

// Zeroes, in a chunk that starts at file offset `chunkOffset`, the bytes of
// the three fields the digest does not cover.
void MaskUncoveredFields(const TSelfCheckLayout& layout, uint64_t chunkOffset, uint8_t* chunk,
                         size_t size);

// The PE image checksum, fed chunk by chunk (chunks of even size except the last).
class TPeChecksum {
public:
    explicit TPeChecksum(uint32_t checksumOffset) : checksumOffset_(checksumOffset) {}
    void Update(uint64_t chunkOffset, const uint8_t* chunk, size_t size);
    uint32_t Finish(uint64_t fileSize) const;

private:
    uint32_t checksumOffset_;
    uint64_t sum_ = 0;
};

}  // namespace lvm
