// The version rules: the integer conversion, the language file's line rules,
// the fixed fields, the version query and the dotted comparison.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "payload/version_rules.h"

namespace lvm {
namespace {

TEST(PayloadIntConversion, WholeDecimalNumbersWithinThe32BitRange) {
    const struct {
        std::string text;
        std::optional<int32_t> expected;
    } cases[] = {
        {"0", 0},
        {"12", 12},
        {"   12", 12},
        {"+12", 12},
        {"-3", -3},
        {"00012", 12},
        {"-0", 0},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999999999", std::nullopt},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"12 ", std::nullopt},  // trailing blanks fail
        {"\t12", std::nullopt}, // only spaces may lead
        {"1 2", std::nullopt},
        {"12a", std::nullopt},
        {"a12", std::nullopt},
        {"-", std::nullopt},
        {"+", std::nullopt},
        {"--1", std::nullopt},
        {"- 1", std::nullopt},
        {"0x10", std::nullopt},
        {"$10", std::nullopt},
        {"1,5", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ConvertToInt32(c.text), c.expected) << "\"" << c.text << "\"";
}

TEST(PayloadIntConversion, LongRunsOfSpacesAndZerosStillConvert) {
    EXPECT_EQ(ConvertToInt32(std::string(100000, ' ') + "12"), 12);
    EXPECT_EQ(ConvertToInt32("-" + std::string(100000, '0') + "7"), -7);
    EXPECT_EQ(ConvertToInt32("1" + std::string(100000, '0')), std::nullopt);
}

TEST(PayloadLngRules, VersionHeaderLines) {
    const struct {
        std::string line;
        bool header;
    } cases[] = {
        {"[langver]", true},
        {"[LangVer]", true},
        {"[LANGVER]", true},
        {"[langver] ; the version follows", true},
        {"[langver]\t ", true},
        {" [langver]", false},  // a header starts in the first column
        {"\t[langver]", false},
        {"[langver", false},
        {"[ langver]", false},
        {"[xlangver]", false},
        {"[lang]", false},
        {"langver]", false},
        {"", false},
        {"[", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsLngVersionHeader(c.line), c.header) << "\"" << c.line << "\"";
}

std::optional<int32_t> ScanAll(const std::string& text) {
    TLngVersionScanner scanner;
    scanner.Feed(text.data(), text.size());
    scanner.Finish();
    return scanner.Value();
}

// The same text fed one byte at a time, so that CR LF pairs and lines are
// split across pieces.
std::optional<int32_t> ScanBytewise(const std::string& text) {
    TLngVersionScanner scanner;
    for (char c : text) {
        if (scanner.Feed(&c, 1)) break;
    }
    scanner.Finish();
    return scanner.Value();
}

TEST(PayloadLngRules, CandidateLineAndItsValue) {
    const struct {
        std::string file;
        std::optional<int32_t> expected;  // empty: the failure path
    } cases[] = {
        {"[LANGVER]\r\n12\r\n", 12},
        {"; comment\r\n[langver]\r\n12\r\n[strings]\r\nx\r\n", 12},
        {"[langver]\r\n-3\r\n", -3},
        {"[langver]\r\n 12\r\n", 12},
        {"[langver]\r\n12 \r\n", std::nullopt},
        {"[langver]\r\n12a\r\n", std::nullopt},
        {"[langver]\r\n\r\n12\r\n", std::nullopt},  // the line right after the header counts
        {"[langver]\r\n", std::nullopt},            // header on the last line
        {"[langver]", std::nullopt},
        {"x\r\n[langver]", std::nullopt},
        {"", std::nullopt},
        {"\r\n", std::nullopt},
        {"7", 7},                                   // no header: the last line
        {"; no header\r\n7\r\n", 7},
        {"; no header\r\n7\r\n\r\n", std::nullopt},  // the last line is empty
        {" [langver]\r\n12\r\n7\r\n", 7},            // not a header: the last line counts
        {"[langver]\r\n3\r\n[langver]\r\n4\r\n", 3}, // the first header wins
        {"[LangVer] ; version\r\n4\r\nabc\r\n", 4},
        {"[langver]\n9\nx\n", 9},                    // LF line ends
        {"[langver]\r9\rx\r", 9},                    // lone CR line ends
        {"[langver]\r\n2147483647\r\n", 2147483647},
        {"[langver]\r\n2147483648\r\n", std::nullopt},
        {"[langver]\r\n-2147483648\r\n", INT32_MIN},
        {std::string("[langver]\r\n1\0" "2\r\n", 16), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScanAll(c.file), c.expected) << "\"" << c.file << "\"";
        EXPECT_EQ(ScanBytewise(c.file), c.expected) << "bytewise: \"" << c.file << "\"";
    }
}

TEST(PayloadLngRules, VeryLongLinesAreJudgedWithoutKeepingThem) {
    EXPECT_EQ(ScanAll(std::string(2000000, 'a') + "\r\n[langver]\r\n5\r\n"), 5);
    EXPECT_EQ(ScanAll("[langver]\r\n" + std::string(2000000, ' ') + "5\r\n"), 5);
    EXPECT_EQ(ScanAll("[langver]\r\n" + std::string(2000000, '5') + "\r\n"), std::nullopt);
    EXPECT_EQ(ScanAll("[langver]" + std::string(2000000, ' ') + "\r\n6"), 6);
}

TEST(PayloadLngRules, StopsAtTheValueLine) {
    TLngVersionScanner scanner;
    const std::string head = "[langver]\r\n8\r";
    EXPECT_FALSE(scanner.Feed(head.data(), 11));  // the value line has not ended yet
    EXPECT_TRUE(scanner.Feed(head.data() + 11, head.size() - 11));
    const std::string rest = "\n[langver]\r\n9\r\n";
    EXPECT_TRUE(scanner.Feed(rest.data(), rest.size()));
    scanner.Finish();
    EXPECT_EQ(scanner.Value(), 8);
}

TEST(PayloadVersionFields, LittleEndianValueOnlyWhenTheWholeFieldWasRead) {
    const unsigned char bytes[] = {0xD7, 0x00, 0x80, 0xFF};
    EXPECT_EQ(LittleEndianField(bytes, 2, 2), 215u);
    EXPECT_EQ(LittleEndianField(bytes + 1, 2, 2), 32768u);
    EXPECT_EQ(LittleEndianField(bytes + 2, 2, 2), 65408u);
    EXPECT_EQ(LittleEndianField(bytes, 1, 1), 215u);
    EXPECT_EQ(LittleEndianField(bytes, 1, 2), 0u);  // the file ended inside the field
    EXPECT_EQ(LittleEndianField(bytes, 0, 2), 0u);
    EXPECT_EQ(LittleEndianField(bytes, 0, 1), 0u);
}

TEST(PayloadVersionOrder, IsOlderVersionFollowsTheDottedComparison) {
    const struct {
        std::string newText;
        std::string installedText;
        bool older;
    } cases[] = {
        {"1.2.3.4", "1.2.3.5", true},
        {"1.2.3.5", "1.2.3.4", false},
        {"1.10.0.0", "1.9.0.0", false},  // fields compare as numbers
        {"1.9.0.0", "1.10.0.0", true},
        {"1.2.3.4", "1.2.3.4", false},   // equal texts
        {"2.0.0.0", "1.9.9.9", false},
        {"1.2", "1.3", true},            // same number of fields, fewer than four
        {"1.3", "1.2", false},
        {"7", "8", true},
        {"8", "7", false},
        {"1.2", "1.2.0.0", true},        // a side out of fields keeps its last value
        {"1.2.0.0", "1.2", false},
        {"1.2.3.4", "1.2.3", false},
        {"1.2.3", "1.2.3.4", true},
        {"1.2.3.4", "1.2.3.4.5", false}, // a fifth field fails on the installed side
        {"1.2.3.4.5", "1.2.3.4", true},  // and on the new side
        {"1.2.3.4", "1.x.3.4", false},   // an installed field that is not a number
        {"1.x.3.4", "1.2.3.4", true},    // a new one
        {"1.x.3.4", "1.y.3.4", false},   // both fail in the same step: the installed side decides
        {"1.2.3.4", "99999999999.0.0.0", false},
        {"99999999999.0.0.0", "1.2.3.4", true},
        {"1.2.3.4", "1.2.3.99999999999", false},
        {"1.2.3.99999999999", "1.2.3.4", true},
        {" 1.2.3.4", "1.2.3.5", true},   // leading spaces convert
        {"1 .2.3.4", "1.2.3.5", true},   // trailing blanks do not
        {"1.2.3.4", "1 .2.3.5", false},
        {"-1.0.0.0", "0.0.0.0", true},
        // A side without a field in the first step counts as 0 there.
        {"", "1.2.3.4", true},           // a new file without a version string
        {"1.2.3.4", "", false},
        {"", "", false},
        {"1, 2, 3, 4", "1.2.3.4", true}, // commas and blanks instead of dots
        {"1.2.3.4", "1, 2, 3, 4", false},
        {"1, 2, 3, 4", "1, 2, 3, 5", false},  // no fields at all: the rest fails on the installed side
        {"1, 2, 3, 5", "1, 2, 3, 4", false},
        {".1.2.3", "1.2.3.4", true},     // a leading "." gives no field
        {"1.2.3.4", ".1.2.3", false},
        {"0.0.0.0", "", false},
        {"", "0.0.0.0", true},
        {"0", "", false},                // the installed rest fails last
        {"", "0", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsOlderVersion(c.newText, c.installedText), c.older)
            << "new \"" << c.newText << "\" against installed \"" << c.installedText << "\"";
    }
}

TEST(PayloadRules, FileVersionQueryUsesFourLowerCaseHexDigitsEach) {
    EXPECT_EQ(FileVersionQuery(0x0419, 1251), "\\StringFileInfo\\041904e3\\FileVersion");
    EXPECT_EQ(FileVersionQuery(0x0409, 0x04B0), "\\StringFileInfo\\040904b0\\FileVersion");
    EXPECT_EQ(FileVersionQuery(0, 0), "\\StringFileInfo\\00000000\\FileVersion");
    EXPECT_EQ(FileVersionQuery(0xFFFF, 0xABCD), "\\StringFileInfo\\ffffabcd\\FileVersion");
}

}  // namespace
}  // namespace lvm
