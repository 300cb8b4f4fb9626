#include "payload/version_rules.h"

#include <cstdio>

#include "common/ascii.h"

namespace lvm {

namespace {

constexpr uint64_t kLargestMagnitude = 2147483648u;  // of INT32_MIN

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Blanks and control characters, as a trim removes them.
bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }


}  // namespace

void TInt32Conversion::Put(char c) {
    switch (state_) {
        case State::LeadingSpaces:
            if (c == ' ') return;
            if (c == '+' || c == '-') {
                negative_ = c == '-';
                state_ = State::AfterSign;
                return;
            }
            [[fallthrough]];
        case State::AfterSign:
        case State::Digits:
            if (!IsDigit(c)) {
                state_ = State::Failed;
                return;
            }
            state_ = State::Digits;
            magnitude_ = magnitude_ * 10 + static_cast<uint64_t>(c - '0');
            // Once past the range the exact value no longer matters; capping
            // keeps a line of any number of digits from wrapping around.
            if (magnitude_ > kLargestMagnitude) magnitude_ = kLargestMagnitude + 1;
            return;
        case State::Failed:
            return;
    }
}

std::optional<int32_t> TInt32Conversion::Result() const {
    if (state_ != State::Digits) return std::nullopt;
    if (negative_) {
        if (magnitude_ > kLargestMagnitude) return std::nullopt;
        return static_cast<int32_t>(-static_cast<int64_t>(magnitude_));
    }
    if (magnitude_ > kLargestMagnitude - 1) return std::nullopt;
    return static_cast<int32_t>(magnitude_);
}

std::optional<int32_t> ConvertToInt32(const std::string& text) {
    TInt32Conversion conversion;
    for (char c : text) conversion.Put(c);
    return conversion.Result();
}

bool IsLngVersionHeader(const std::string& line) {
    if (line.empty() || line[0] != '[') return false;
    size_t first = 0;
    size_t last = line.size();
    while (first < last && IsBlankOrControl(line[first])) ++first;
    while (last > first && IsBlankOrControl(line[last - 1])) --last;
    std::string trimmed;
    for (size_t i = first; i < last; ++i) trimmed += LowerAsciiChar(line[i]);
    return trimmed.find("langver]") == 1;
}

bool TLngVersionScanner::Feed(const char* bytes, size_t size) {
    for (size_t i = 0; i < size && stage_ != Stage::Done; ++i) {
        const char c = bytes[i];
        if (afterCarriageReturn_) {
            afterCarriageReturn_ = false;
            if (c == '\n') continue;  // the LF of a CR LF pair: that line has ended already
        }
        if (c == '\r' || c == '\n') {
            EndLine();
            afterCarriageReturn_ = c == '\r';
            continue;
        }
        lineOpen_ = true;
        if (lineStart_.size() < kHeaderLength) lineStart_ += c;
        lineValue_.Put(c);
    }
    return stage_ == Stage::Done;
}

void TLngVersionScanner::Finish() {
    if (stage_ == Stage::Done) return;
    if (lineOpen_) EndLine();
    if (stage_ == Stage::ReadingValue) {
        // The header was the last line: the value read after it is an empty line.
        candidate_.reset();
        stage_ = Stage::Done;
    }
}

void TLngVersionScanner::EndLine() {
    const std::optional<int32_t> value = lineValue_.Result();
    if (stage_ == Stage::LookingForHeader) {
        candidate_ = value;
        if (IsLngVersionHeader(lineStart_)) stage_ = Stage::ReadingValue;
    } else if (stage_ == Stage::ReadingValue) {
        candidate_ = value;
        stage_ = Stage::Done;
    }
    lineStart_.clear();
    lineValue_ = TInt32Conversion();
    lineOpen_ = false;
}

uint32_t LittleEndianField(const unsigned char* bytes, size_t count, size_t width) {
    if (count != width || width > 4) return 0;
    uint32_t value = 0;
    for (size_t i = width; i-- > 0;) value = (value << 8) | bytes[i];
    return value;
}

std::string FileVersionQuery(uint16_t language, uint16_t codePage) {
    char query[48];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\FileVersion", language, codePage);
    return query;
}

namespace {

// One side of the dotted comparison: the text not yet converted and the value
// of the last field taken from it.
struct VersionSide {
    std::string rest;
    // A side that has no field to take in the first step (a text without a
    // ".", one that starts with ".", an empty text, a version written with
    // commas) counts as 0 there. Fields are never negative in practice, so 0
    // ranks such a text below every real version: a new file whose version
    // cannot be read is treated as older, as the final step treats a new text
    // that fails to convert, and the user is asked before it replaces a
    // versioned file; an unreadable installed version never blocks a
    // versioned new file.
    int32_t value = 0;

    // Takes the field before the first "." when that "." is not the first
    // character. False when that field does not convert; a text with no such
    // field is left as it is and keeps its previous value.
    bool TakeField() {
        const size_t dot = rest.find('.');
        if (dot == std::string::npos || dot == 0) return true;
        const std::optional<int32_t> field = ConvertToInt32(rest.substr(0, dot));
        if (!field) return false;
        value = *field;
        rest.erase(0, dot + 1);
        return true;
    }

    // The last step converts the whole remaining text.
    bool TakeRest() {
        const std::optional<int32_t> field = ConvertToInt32(rest);
        if (!field) return false;
        value = *field;
        return true;
    }
};

}  // namespace

bool IsOlderVersion(const std::string& newText, const std::string& installedText) {
    VersionSide installed{installedText};
    VersionSide fresh{newText};
    for (int step = 0; step < 3; ++step) {
        // An installed field that is not a number: not older; a new one: older.
        if (!installed.TakeField()) return false;
        if (!fresh.TakeField()) return true;
        if (installed.value != fresh.value) return installed.value > fresh.value;
    }
    if (!installed.TakeRest()) return false;
    if (!fresh.TakeRest()) return true;
    return installed.value > fresh.value;
}

}  // namespace lvm
