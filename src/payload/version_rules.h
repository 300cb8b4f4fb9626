// The rules by which installed files are compared with new ones, over plain
// values and bytes (no Windows calls): the integer conversion, the language
// support file's line rules, the fixed version fields and the dotted-version
// comparison.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace lvm {

// Converts a whole text to a signed 32-bit integer: optional leading spaces,
// an optional sign, then decimal digits up to the end. Anything else (an empty
// text, trailing blanks, letters, a value outside the 32-bit range) fails.
std::optional<int32_t> ConvertToInt32(const std::string& text);

// The same conversion fed one character at a time, so that a line of any
// length is judged without being kept in memory.
class TInt32Conversion {
public:
    void Put(char c);
    std::optional<int32_t> Result() const;

private:
    enum class State { LeadingSpaces, AfterSign, Digits, Failed };
    State state_ = State::LeadingSpaces;
    bool negative_ = false;
    uint64_t magnitude_ = 0;  // capped just above 2^31, so it never wraps
};

// A line of a language support file that opens the version entry: its first
// character is "[" and, with blanks and control characters trimmed from both
// ends and ASCII letters lowered, "langver]" first occurs at its second character.
bool IsLngVersionHeader(const std::string& line);

// Finds the version value of a language support file while the file is fed to
// it in pieces. Lines end at CR LF, LF or a lone CR. The candidate is the line
// after the first version header; a file without one offers its last line, and
// a header on the last line (or an empty file) offers an empty line.
class TLngVersionScanner {
public:
    // Feeds the next bytes of the file. Returns true once the value line has
    // been read; the rest of the file need not be fed.
    bool Feed(const char* bytes, size_t size);
    // The end of the file: the candidate is settled.
    void Finish();
    // The candidate line converted, empty when its conversion fails.
    std::optional<int32_t> Value() const { return candidate_; }

private:
    void EndLine();

    enum class Stage { LookingForHeader, ReadingValue, Done };
    // The header test needs only the first characters of a line: "langver]"
    // has no blank in it, so trimming the end cannot change the outcome.
    static constexpr size_t kHeaderLength = 9;  // "[langver]"

    Stage stage_ = Stage::LookingForHeader;
    std::string lineStart_;
    TInt32Conversion lineValue_;
    bool lineOpen_ = false;      // bytes seen since the last line end
    bool afterCarriageReturn_ = false;
    std::optional<int32_t> candidate_;  // empty line until a line is read: fails
};

// Where a fixed-offset probe finds its version field.
struct TVersionField {
    uint32_t offset;
    size_t width;  // bytes, little-endian, unsigned
};
constexpr TVersionField kPakVersionField{6, 2};
constexpr TVersionField kCokVersionField{5, 2};
constexpr TVersionField k3bsVersionField{6, 1};

// The unsigned little-endian value of a field of `width` bytes, given the
// `count` bytes actually read at the field's offset; 0 unless all were read.
uint32_t LittleEndianField(const unsigned char* bytes, size_t count, size_t width);

// The version-resource query for the "FileVersion" string of a translation:
// \StringFileInfo\llllcccc\FileVersion, with the language and the code page
// as four lower-case hexadecimal digits each.
std::string FileVersionQuery(uint16_t language, uint16_t codePage);

// True when the dotted version `newText` is older than `installedText`. Up to
// four fields are compared as integers, the installed side converted first in
// each step; a text that fails to convert decides against itself.
bool IsOlderVersion(const std::string& newText, const std::string& installedText);

}  // namespace lvm
