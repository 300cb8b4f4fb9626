// The payload's pure rules: the temporary and restart names, the kinds with a
// version rule, the older-version question, the held file's retries, the
// leftovers and a sound new file.
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
        const TRetrySeams seams{[&](uint32_t ms) { pauses.push_back(ms), clock += ms; }, [&] { return clock; }};
        const std::optional<uint32_t> heldFor = RetryWhileHeld(
            [&] {
                clock += row.tryMs;
                return tries++ < row.heldTries || row.heldTries < 0;
            },
            seams);
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
