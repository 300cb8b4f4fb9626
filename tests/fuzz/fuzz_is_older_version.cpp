// The dotted-version comparison over arbitrary version strings, as the
// installed file's version resource can hold anything.
#include <array>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "payload/payload_rules.h"
#include "payload/version_rules.h"

namespace {

using lvm::IsExeVersionOlder;
using lvm::IsOlderVersion;
using lvm::fuzz::PickText;

using Fields = std::array<uint32_t, 4>;

std::string Dotted(const Fields& fields) {
    return std::to_string(fields[0]) + "." + std::to_string(fields[1]) + "." +
           std::to_string(fields[2]) + "." + std::to_string(fields[3]);
}

Fields PickFields(FuzzedDataProvider& data) {
    Fields fields{};
    // Mostly small numbers, so equal leading fields are common.
    for (uint32_t& field : fields) {
        field = data.ConsumeBool() ? data.ConsumeIntegralInRange<uint32_t>(0, 3)
                                   : data.ConsumeIntegralInRange<uint32_t>(0, INT32_MAX);
    }
    return fields;
}

void CheckPair(const std::string& a, const std::string& b) {
    const bool aOlder = IsOlderVersion(a, b);
    // The comparison is a strict order on what it can read: never both ways.
    FUZZ_CHECK(!(aOlder && IsOlderVersion(b, a)));
    FUZZ_CHECK(IsOlderVersion(a, b) == aOlder);  // nothing but the texts decides
    // The executable rule adds its two conditions and nothing else.
    FUZZ_CHECK(IsExeVersionOlder(a, b) == (!b.empty() && a != b && aOlder));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    if (data.ConsumeBool()) {
        // Four well-formed fields a side: exactly the order of the numbers.
        const Fields fresh = PickFields(data);
        const Fields installed = PickFields(data);
        FUZZ_CHECK(IsOlderVersion(Dotted(fresh), Dotted(installed)) == (fresh < installed));
        CheckPair(Dotted(fresh), Dotted(installed));
        return 0;
    }
    const char* alphabet = "0123456789..........  +-,";
    const std::string fresh = PickText(data, alphabet, 40);
    const std::string installed =
        data.ConsumeBool() ? fresh + PickText(data, alphabet, 8) : PickText(data, alphabet, 40);
    FUZZ_CHECK(!IsOlderVersion(fresh, fresh));
    FUZZ_CHECK(!IsOlderVersion(installed, installed));
    CheckPair(fresh, installed);
    return 0;
}
