// The dotted-version comparison over arbitrary version strings, as the
// installed file's version resource can hold anything.
#include <algorithm>
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

constexpr size_t kNone = 4;

// Four fields, the one at `broken` (if any) replaced by a text that is not a
// number.
std::string Dotted(const Fields& fields, size_t broken, const std::string& notANumber) {
    std::string text;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) text += ".";
        text += i == broken ? notANumber : std::to_string(fields[i]);
    }
    return text;
}

// Field by field from the first: a field that is not a number decides at its
// step, against the installed text when it is there (checked first), for
// "older" when it is in the new text; otherwise the first differing number.
bool ExpectedOlder(const Fields& fresh, size_t freshBroken, const Fields& installed, size_t installedBroken) {
    for (size_t i = 0; i < fresh.size(); ++i) {
        if (i == installedBroken) return false;
        if (i == freshBroken) return true;
        if (fresh[i] != installed[i]) return fresh[i] < installed[i];
    }
    return false;
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
        // Four fields a side, now and then one that is not a number.
        const Fields fresh = PickFields(data);
        const Fields installed = PickFields(data);
        const size_t freshBroken = data.ConsumeIntegralInRange<size_t>(0, kNone);
        const size_t installedBroken = data.ConsumeIntegralInRange<size_t>(0, kNone);
        // Never empty and never a number: a trailing letter fails any
        // conversion. No "." in it, or it would be more than one field.
        std::string notANumber = PickText(data, "0123456789 +-,", 6) + "x";
        std::replace(notANumber.begin(), notANumber.end(), '.', ',');
        const std::string freshText = Dotted(fresh, freshBroken, notANumber);
        const std::string installedText = Dotted(installed, installedBroken, notANumber);
        FUZZ_CHECK(IsOlderVersion(freshText, installedText) ==
                   ExpectedOlder(fresh, freshBroken, installed, installedBroken));
        CheckPair(freshText, installedText);
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
