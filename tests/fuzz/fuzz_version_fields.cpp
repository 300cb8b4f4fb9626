// The package-version probes over a byte buffer: a fixed field read from the
// start of an arbitrary file, and the version-resource query built from an
// arbitrary translation entry.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "payload/version_rules.h"

namespace {

using lvm::LittleEndianField;
using lvm::TVersionField;

// What a probe does with the file: read up to `width` bytes at the offset
// into a zeroed buffer, then ask for the field's value.
uint32_t ProbeField(const std::string& file, TVersionField field) {
    unsigned char buffer[4] = {};
    const size_t available = file.size() > field.offset ? file.size() - field.offset : 0;
    const size_t read = std::min(available, field.width);
    if (read > 0) std::memcpy(buffer, file.data() + field.offset, read);
    return LittleEndianField(buffer, read, field.width);
}

uint32_t ReferenceField(const std::string& file, TVersionField field) {
    if (file.size() < field.offset + field.width) return 0;  // a short file has no version
    uint32_t value = 0;
    for (size_t i = 0; i < field.width; ++i) {
        value |= uint32_t{static_cast<unsigned char>(file[field.offset + i])} << (8 * i);
    }
    return value;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;  // upper case is not what the query uses
}

uint32_t ParseHex(const std::string& text) {
    uint32_t value = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        FUZZ_CHECK(digit >= 0);
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

void CheckQuery(uint16_t language, uint16_t codePage) {
    const std::string query = lvm::FileVersionQuery(language, codePage);
    const std::string head = "\\StringFileInfo\\";
    const std::string tail = "\\FileVersion";
    FUZZ_CHECK(query.size() == head.size() + 8 + tail.size());
    FUZZ_CHECK(lvm::fuzz::StartsWith(query, head));
    FUZZ_CHECK(query.compare(head.size() + 8, tail.size(), tail) == 0);
    FUZZ_CHECK(ParseHex(query.substr(head.size(), 4)) == language);
    FUZZ_CHECK(ParseHex(query.substr(head.size() + 4, 4)) == codePage);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string file(reinterpret_cast<const char*>(bytes), size);
    for (const TVersionField field : {lvm::kPakVersionField, lvm::kCokVersionField, lvm::k3bsVersionField}) {
        const uint32_t value = ProbeField(file, field);
        FUZZ_CHECK(value == ReferenceField(file, field));
        // The probes hand the value on as a signed 32-bit number: a field of
        // up to two bytes never comes out negative.
        FUZZ_CHECK(static_cast<int32_t>(value) >= 0);
    }

    FuzzedDataProvider data(bytes, size);
    // Any count and width: only a whole field of at most four bytes has a value.
    unsigned char buffer[8] = {};
    const size_t width = data.ConsumeIntegralInRange<size_t>(0, 8);
    const size_t count = data.ConsumeIntegralInRange<size_t>(0, 8);
    data.ConsumeData(buffer, sizeof buffer);
    const uint32_t value = LittleEndianField(buffer, count, width);
    if (count != width || width > 4) {
        FUZZ_CHECK(value == 0);
    } else {
        uint64_t expected = 0;
        for (size_t i = 0; i < width; ++i) expected |= uint64_t{buffer[i]} << (8 * i);
        FUZZ_CHECK(value == expected);
    }

    CheckQuery(data.ConsumeIntegral<uint16_t>(), data.ConsumeIntegral<uint16_t>());
    return 0;
}
