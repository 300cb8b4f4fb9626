// The payload's pure rules: the temporary name, the integer conversion, the
// language file's line rules, the fixed fields, the dotted comparison and the
// older-version question.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "payload/payload_files.h"
#include "payload/payload_rules.h"
#include "payload/version_rules.h"

namespace lvm {
namespace {

TEST(PayloadTildeName, PutsTheTildeInFrontOfTheFileName) {
    const struct {
        std::string path;
        std::string expected;
    } cases[] = {
        {"C:\\App\\lvm0.pak", "C:\\App\\~lvm0.pak"},
        {"lvm0.pak", "~lvm0.pak"},
        {"C:\\App\\Data\\", "C:\\App\\~Data\\"},  // the trailing backslash is skipped
        {"", "~"},
        {"\\", "~\\"},
        {"\\\\", "\\~\\"},
        {"a\\", "~a\\"},
        {"C:\\", "~C:\\"},
        {"\\lvm0.pak", "\\~lvm0.pak"},
        {"C:\\My!Folder\\lang!.lng", "C:\\My!Folder\\~lang!.lng"},
        {"C:/App/lvm0.pak", "~C:/App/lvm0.pak"},  // only the backslash separates
        {"\\\\server\\share\\lvm0.pak", "\\\\server\\share\\~lvm0.pak"},
        {"C:\\Программы\\Лингваро\\lvm0.pak", "C:\\Программы\\Лингваро\\~lvm0.pak"},
    };
    for (const auto& c : cases) EXPECT_EQ(TildeName(c.path), c.expected) << c.path;
}

// Only this run's own kept name, and of the names a search finds only the
// kept ones (a search matches short 8.3 names too).
TEST(PayloadTildeName, NamesKeptForTheRestart) {
    EXPECT_EQ(RestartKeptName("C:\\App\\lvm0.pak", "12-ab"), "C:\\App\\~lvm0.pak.12-ab.restart");
    EXPECT_EQ(RestartKeptPattern("C:\\App\\lvm0.pak"), "C:\\App\\~lvm0.pak.*.restart");
    const std::pair<const char*, bool> found[] = {
        {"~lvm0.pak.12-ab.restart", true}, {"~LVM0.PAK.7.RESTART", true}, {"~lvm0.pak.restart", false},
        {"~LVM0~1.RES", false},           {"~lvm0.pak", false},          {"x~lvm0.pak.1.restart", false},
    };
    for (const auto& [name, kept] : found) EXPECT_EQ(IsRestartKeptName(name, "C:\\App\\lvm0.pak"), kept) << name;
}

TEST(PayloadTildeName, VeryLongPathsKeepEveryCharacter) {
    const std::string folder = "C:\\" + std::string(70000, 'd') + "\\";
    EXPECT_EQ(TildeName(folder + "lvm0.pak"), folder + "~lvm0.pak");
    const std::string noSeparator(70000, 'x');
    EXPECT_EQ(TildeName(noSeparator), "~" + noSeparator);
}

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

TEST(PayloadRules, KindsWithAVersionRuleAndTheirProbes) {
    const std::pair<const char*, VersionProbe> kinds[] = {
        {"exe", VersionProbe::ExeFileVersion}, {"pak", VersionProbe::PakField}, {"3bs", VersionProbe::ThreeBsField},
        {"lng", VersionProbe::LngScan},        {"cok", VersionProbe::CokField},
    };
    for (const auto& [kind, probe] : kinds) {
        EXPECT_TRUE(HasVersionRule(kind)) << kind;
        EXPECT_EQ(VersionProbeFor(kind), probe) << kind;
    }
    for (const char* kind : {"PAK", "dat", "", "pa", "paks", "lvq", "dll"}) {
        EXPECT_FALSE(HasVersionRule(kind)) << kind;
        EXPECT_EQ(VersionProbeFor(kind), std::nullopt) << kind;
    }
}

TEST(PayloadRules, LanguageFilesAreComparedOnlyWithoutAnExclamationMark) {
    EXPECT_TRUE(ComparesLngVersions("C:\\App\\rus.lng"));
    EXPECT_FALSE(ComparesLngVersions("C:\\App\\rus!.lng"));
    EXPECT_FALSE(ComparesLngVersions("C:\\My!App\\rus.lng"));
    EXPECT_FALSE(ComparesLngVersions("!"));
}

TEST(PayloadRules, ExecutableIsOlderOnlyAgainstAVersionedDifferentInstalledFile) {
    EXPECT_TRUE(IsExeVersionOlder("1.0.0.1", "1.0.0.2"));
    EXPECT_FALSE(IsExeVersionOlder("1.0.0.2", "1.0.0.1"));
    EXPECT_FALSE(IsExeVersionOlder("1.0.0.1", ""));   // no version installed
    EXPECT_FALSE(IsExeVersionOlder("", ""));
    EXPECT_FALSE(IsExeVersionOlder("1.x", "1.x"));    // equal texts are not compared
    EXPECT_FALSE(IsExeVersionOlder("1.x", "1.y"));  // the installed rest fails to convert
    EXPECT_TRUE(IsExeVersionOlder("", "1.0.0.0"));    // a new file without a version string
}

TEST(PayloadRules, FileVersionQueryUsesFourLowerCaseHexDigitsEach) {
    EXPECT_EQ(FileVersionQuery(0x0419, 1251), "\\StringFileInfo\\041904e3\\FileVersion");
    EXPECT_EQ(FileVersionQuery(0x0409, 0x04B0), "\\StringFileInfo\\040904b0\\FileVersion");
    EXPECT_EQ(FileVersionQuery(0, 0), "\\StringFileInfo\\00000000\\FileVersion");
    EXPECT_EQ(FileVersionQuery(0xFFFF, 0xABCD), "\\StringFileInfo\\ffffabcd\\FileVersion");
}

// A held file is tried at once, then after pauses of 100, 200, 400, 800 and
// 1000 ms and the rest of the 3 s. The time held counts from the first
// refusal to the end of the last try; a file free at the first try was never
// held, however long that try took.
TEST(PayloadRules, HeldFileIsTriedAgainWithPausesDoublingFrom100MsFor3Seconds) {
    struct Row {
        int heldTries;  // tries that find the file held before it is free (-1: never free)
        uint32_t tryMs;  // how far the clock moves during each try
        std::vector<uint32_t> pauses;
        std::optional<uint32_t> heldFor;
        int tries;
    };
    const Row rows[] = {
        {0, 0, {}, std::nullopt, 1},
        {0, 16, {}, std::nullopt, 1},
        {2, 0, {100, 200}, 300, 3},
        {2, 16, {100, 200}, 332, 3},
        {5, 0, {100, 200, 400, 800, 1000}, 2500, 6},
        {-1, 0, {100, 200, 400, 800, 1000, 500}, 3000, 7},
    };
    for (const Row& row : rows) {
        uint32_t clock = 7;  // any start
        std::vector<uint32_t> pauses;
        int tries = 0;
        const TRetrySeams hooks{[&](uint32_t ms) { pauses.push_back(ms), clock += ms; }, [&] { return clock; }};
        const std::optional<uint32_t> heldFor = RetryWhileHeld(
            [&] {
                clock += row.tryMs;
                return tries++ < row.heldTries || row.heldTries < 0;
            },
            hooks);
        EXPECT_EQ(pauses, row.pauses) << row.heldTries << " " << row.tryMs;
        EXPECT_EQ(heldFor, row.heldFor) << row.heldTries << " " << row.tryMs;
        EXPECT_EQ(tries, row.tries) << row.heldTries << " " << row.tryMs;
    }
}

// What may be removed from the temporary name: links of every kind go as
// links, a real folder and a file someone protected stay.
TEST(PayloadRules, LeftoversThatMayBeCleared) {
    const struct {
        DWORD attributes;
        bool cleared;
    } cases[] = {
        {FILE_ATTRIBUTE_NORMAL, true},
        {FILE_ATTRIBUTE_ARCHIVE, true},
        {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, true},
        {FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_ARCHIVE, true},    // a symbolic link to a file
        {FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY, true},  // a junction
        {FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY, true},
        {FILE_ATTRIBUTE_DIRECTORY, false},
        {FILE_ATTRIBUTE_READONLY, false},
        {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, false},
    };
    for (const auto& c : cases) EXPECT_EQ(MayClearLeftover(c.attributes), c.cleared) << std::hex << c.attributes;
}

// A file just made at the temporary name is written to only when it is a
// plain file, has no other name and lies directly in the folder held open.
TEST(PayloadRules, NewFileIsSoundOnlyAsAPlainFileOfOneNameDirectlyInItsFolder) {
    const std::wstring folder = L"\\Device\\HarddiskVolume2\\Lingvaro";
    const std::wstring inside = folder + L"\\~lvm0.pak";
    const struct {
        const char* what;
        DWORD attributes;
        DWORD links;
        std::wstring finalPath;
        std::wstring folder;
        bool sound;
    } cases[] = {
        {"plain new file", FILE_ATTRIBUTE_ARCHIVE, 1, inside, folder, true},
        {"folder given with its backslash", FILE_ATTRIBUTE_ARCHIVE, 1, inside, folder + L"\\", true},
        {"letter case of the file system", FILE_ATTRIBUTE_NORMAL, 1,
         L"\\DEVICE\\HarddiskVolume2\\LINGVARO\\~lvm0.pak", folder, true},
        {"Cyrillic letter case", FILE_ATTRIBUTE_NORMAL, 1, L"\\Device\\V\\\x041B\x0418\\~lvm0.pak",
         L"\\Device\\V\\\x043B\x0438", true},
        {"in a drive's root", FILE_ATTRIBUTE_NORMAL, 1, L"\\Device\\V\\~lvm0.pak", L"\\Device\\V\\", true},
        {"a second name", FILE_ATTRIBUTE_ARCHIVE, 2, inside, folder, false},
        {"no name at all", FILE_ATTRIBUTE_ARCHIVE, 0, inside, folder, false},
        {"a reparse point", FILE_ATTRIBUTE_REPARSE_POINT, 1, inside, folder, false},
        {"a folder", FILE_ATTRIBUTE_DIRECTORY, 1, inside, folder, false},
        {"in another folder", FILE_ATTRIBUTE_ARCHIVE, 1, L"\\Device\\HarddiskVolume2\\Windows\\~lvm0.pak", folder,
         false},
        {"in a folder of the same beginning", FILE_ATTRIBUTE_ARCHIVE, 1,
         L"\\Device\\HarddiskVolume2\\Lingvaro2\\~lvm0.pak", folder, false},
        {"on another volume", FILE_ATTRIBUTE_ARCHIVE, 1, L"\\Device\\HarddiskVolume3\\Lingvaro\\~lvm0.pak", folder,
         false},
        {"in a subfolder", FILE_ATTRIBUTE_ARCHIVE, 1, folder + L"\\Data\\~lvm0.pak", folder, false},
        {"a stream of the folder", FILE_ATTRIBUTE_ARCHIVE, 1, folder + L"\\:~lvm0.pak", folder, false},
        {"a stream of a file", FILE_ATTRIBUTE_ARCHIVE, 1, inside + L":x", folder, false},
        {"the folder itself", FILE_ATTRIBUTE_ARCHIVE, 1, folder + L"\\", folder, false},
        {"no final path", FILE_ATTRIBUTE_ARCHIVE, 1, L"", folder, false},
        {"no folder path", FILE_ATTRIBUTE_ARCHIVE, 1, inside, L"", false},
    };
    for (const auto& c : cases) {
        TFileDescription facts;
        facts.attributes = c.attributes;
        facts.links = c.links;
        facts.finalPath = c.finalPath;
        EXPECT_EQ(IsSoundNewFile(facts, c.folder), c.sound) << c.what;
    }
}

}  // namespace
}  // namespace lvm
