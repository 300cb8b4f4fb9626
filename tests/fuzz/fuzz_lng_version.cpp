// The language support file's version line and the integer conversion over
// arbitrary file contents. The streaming scanner must agree with a plain
// whole-file reading of the same rules, however the file is cut into reads.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "payload/version_rules.h"

namespace {

using lvm::ConvertToInt32;
using lvm::IsLngVersionHeader;
using lvm::TLngVersionScanner;
using lvm::fuzz::SplitLines;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Spaces, an optional sign, at least one digit, nothing else; in range.
// Written apart from the conversion under test: the pattern first, then the
// value through the standard library on at most ten significant digits.
std::optional<int32_t> ReferenceInt32(const std::string& text) {
    size_t at = text.find_first_not_of(' ');
    if (at == std::string::npos) return std::nullopt;
    bool negative = false;
    if (text[at] == '+' || text[at] == '-') negative = text[at++] == '-';
    if (at == text.size()) return std::nullopt;
    for (size_t i = at; i < text.size(); ++i) {
        if (!IsDigit(text[i])) return std::nullopt;
    }
    std::string digits = text.substr(at);
    digits.erase(0, digits.find_first_not_of('0'));
    if (digits.size() > 10) return std::nullopt;
    const long long magnitude = digits.empty() ? 0 : std::stoll(digits);
    const long long value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(value);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool ReferenceHeader(const std::string& line) {
    if (line.size() < 9 || line[0] != '[') return false;
    std::string rest;
    for (size_t i = 1; i < 9; ++i) rest += LowerAscii(line[i]);
    return rest == "langver]";
}

std::optional<int32_t> ReferenceLngValue(const std::string& file) {
    const std::vector<std::string> lines = SplitLines(file);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!IsLngVersionHeader(lines[i])) continue;
        if (i + 1 == lines.size()) return std::nullopt;  // the value line is empty
        return ConvertToInt32(lines[i + 1]);
    }
    if (lines.empty()) return std::nullopt;
    return ConvertToInt32(lines.back());
}

// Feeds the file in pieces of the given sizes (cycled), as reads would
// deliver it, stopping once the scanner has its line.
std::optional<int32_t> ScanInPieces(const std::string& file, const std::vector<size_t>& pieces) {
    TLngVersionScanner scanner;
    size_t at = 0;
    bool done = false;
    for (size_t n = 0; at < file.size(); ++n) {
        const size_t size = std::min(pieces[n % pieces.size()], file.size() - at);
        done = scanner.Feed(file.data() + at, size);
        at += size;
        if (done) break;
    }
    if (done) {
        const std::optional<int32_t> settled = scanner.Value();
        // Once done, more bytes and the end of the file change nothing.
        FUZZ_CHECK(scanner.Feed("\n7\n", 3));
        scanner.Finish();
        FUZZ_CHECK(scanner.Value() == settled);
        return settled;
    }
    scanner.Finish();
    return scanner.Value();
}

void CheckConversion(const std::string& text) {
    const std::optional<int32_t> value = ConvertToInt32(text);
    FUZZ_CHECK(value == ReferenceInt32(text));
    lvm::TInt32Conversion conversion;
    for (char c : text) conversion.Put(c);
    FUZZ_CHECK(conversion.Result() == value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string file(reinterpret_cast<const char*>(bytes), size);

    CheckConversion(file);
    for (const std::string& line : SplitLines(file)) {
        CheckConversion(line);
        FUZZ_CHECK(IsLngVersionHeader(line) == ReferenceHeader(line));
    }

    const std::optional<int32_t> expected = ReferenceLngValue(file);
    FUZZ_CHECK(ScanInPieces(file, {file.size() + 1}) == expected);
    FUZZ_CHECK(ScanInPieces(file, {1}) == expected);
    // Uneven pieces from the input itself, so a line end, or the two halves
    // of a CR LF pair, falls on a boundary in every position.
    std::vector<size_t> pieces;
    for (size_t i = 0; i < size && i < 16; ++i) pieces.push_back(bytes[i] % 7 + 1);
    if (!pieces.empty()) FUZZ_CHECK(ScanInPieces(file, pieces) == expected);
    return 0;
}
