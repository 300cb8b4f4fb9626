#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "common/text.h"
#include "environment/folder_size.h"
#include "environment/path_rules.h"

namespace lvm {
namespace {

struct FolderCase {
    std::string command;
    std::string folder;
};

TEST(EnvironmentPathRules, UninstallCommandFolderTakesTextUpToTheLastBackslashBeforeTheFinalCharacter) {
    const std::string longName(40000, 'a');
    const FolderCase cases[] = {
        {"C:\\Program Files\\Lingvaro\\uninst.exe", "C:\\Program Files\\Lingvaro\\"},
        // The final character is never looked at: a trailing backslash leads to the parent.
        {"C:\\Apps\\Lingvaro\\", "C:\\Apps\\"},
        {"x\\", ""},
        {"\\x", "\\"},
        {"\\", ""},
        {"C:\\", ""},
        {"", ""},
        {"uninst.exe", ""},
        {"MsiExec.exe /X{01234567-89AB-CDEF-0123-456789ABCDEF}", ""},
        {"\\\\server\\share\\Lingvaro\\uninst.exe", "\\\\server\\share\\Lingvaro\\"},
        {"C:\\Программы\\Лингваро\\удалить.exe", "C:\\Программы\\Лингваро\\"},
        // Unquoted arguments stay part of the text the rule runs over.
        {"C:\\Apps\\uninst.exe /S /LOG=C:\\Temp\\u.log", "C:\\Apps\\uninst.exe /S /LOG=C:\\Temp\\"},
        // The quoted form: the rule runs inside the quotes.
        {"\"C:\\Program Files\\Lingvaro\\uninst.exe\"", "C:\\Program Files\\Lingvaro\\"},
        {"\"C:\\Program Files\\Lingvaro\\uninst.exe\" /S /D=\"C:\\x\\y\"", "C:\\Program Files\\Lingvaro\\"},
        {"\"C:\\Program Files\\Lingvaro\\uninst.exe", "C:\\Program Files\\Lingvaro\\"},
        {"\"C:\\Apps\\Lingvaro\\\"", "C:\\Apps\\"},
        {"\"uninst.exe\" C:\\x\\y", ""},
        {"\"", ""},
        {"\"\"", ""},
        {"\"\\\"", ""},
        // Only a value that begins with the quote is the quoted form.
        {" \"C:\\x\\u.exe\"", " \"C:\\x\\"},
        // Long values: no backslash at all, one at the very start, one only at the end.
        {longName, ""},
        {"C:\\" + longName, "C:\\"},
        {longName + "\\", ""},
        {"\"" + longName, ""},
        {"\"C:\\" + longName + "\\" + longName + "\" /S", "C:\\" + longName + "\\"},
    };
    for (const FolderCase& c : cases) {
        EXPECT_EQ(UninstallCommandFolder(c.command), c.folder) << c.command.substr(0, 80);
    }
}

// An unquoted value is read as Windows reads an unquoted command line: a
// prefix ending at a blank that names a file is a candidate program.
TEST(EnvironmentPathRules, UnquotedCommandIsResolvedAgainstTheFilesThatExist) {
    struct Case {
        std::string command;
        std::vector<std::string> files;
        std::string folder;
    };
    const Case cases[] = {
        {"C:\\Program Files (x86)\\Lingvaro\\uninst.exe /log=C:\\Temp\\u.log",
         {"C:\\Program Files (x86)\\Lingvaro\\uninst.exe"}, "C:\\Program Files (x86)\\Lingvaro\\"},
        // ".exe" is tried where the name has no extension.
        {"C:\\Program Files\\Lingvaro\\uninst /S", {"C:\\Program Files\\Lingvaro\\uninst.exe"},
         "C:\\Program Files\\Lingvaro\\"},
        // Of the prefixes that name a file, the first whose folder holds the
        // application wins; where none does, the first, as it does for Windows.
        {"C:\\Program Files\\Lingvaro\\uninst.exe /S",
         {"C:\\Program.exe", "C:\\Program Files\\Lingvaro\\uninst.exe", "C:\\Program Files\\Lingvaro\\Lingvaro.exe"},
         "C:\\Program Files\\Lingvaro\\"},
        {"C:\\Program Files\\Lingvaro\\uninst.exe /S",
         {"C:\\Program.exe", "C:\\Lingvaro.exe", "C:\\Program Files\\Lingvaro\\uninst.exe",
          "C:\\Program Files\\Lingvaro\\Lingvaro.exe"},
         "C:\\"},
        {"C:\\Program Files\\Lingvaro\\uninst.exe /S",
         {"C:\\Program.exe", "C:\\Program Files\\Lingvaro\\uninst.exe"}, "C:\\"},
        // The uninstaller is gone: a prefix's folder still counts when it
        // holds the application.
        {"C:\\Program Files\\Lingvaro\\uninst.exe", {"C:\\Program.exe", "C:\\Program Files\\Lingvaro\\Lingvaro.exe"},
         "C:\\Program Files\\Lingvaro\\"},
        // The whole value, blanks and all, when it names the file.
        {"C:\\Program Files\\Lingvaro\\uninst.exe", {"C:\\Program Files\\Lingvaro\\uninst.exe"},
         "C:\\Program Files\\Lingvaro\\"},
        // No prefix names a file: the rule runs over the whole text, as before.
        {"C:\\Apps\\uninst.exe /S /LOG=C:\\Temp\\u.log", {}, "C:\\Apps\\uninst.exe /S /LOG=C:\\Temp\\"},
        {"C:\\Apps\\uninst.exe /S", {"C:\\Apps\\other.exe"}, "C:\\Apps\\"},
        // Quoted values are read as before, whatever exists.
        {"\"C:\\Program Files\\Lingvaro\\uninst.exe\" /S", {"C:\\Program.exe"},
         "C:\\Program Files\\Lingvaro\\"},
        {"", {""}, ""},
    };
    for (const Case& c : cases) {
        const auto exists = [&](const std::string& path) {
            for (const std::string& file : c.files) {
                if (file == path) return true;
            }
            return false;
        };
        EXPECT_EQ(UninstallCommandFolder(c.command, exists, "Lingvaro.exe"), c.folder) << c.command;
    }
}

TEST(EnvironmentPathRules, OnlyDriveAndShareFoldersAreAbsolute) {
    const std::pair<std::string, bool> cases[] = {
        {"C:\\Program Files\\Lingvaro\\", true},
        {"c:\\", true},
        {"\\\\server\\share\\Lingvaro\\", true},
        {"\\\\server\\share\\", true},
        {"Lingvaro\\", false},     // no "ProgramFilesDir": relative to the current folder
        {"", false},
        {"C:Lingvaro\\", false},   // relative to drive C's current folder
        {"\\Lingvaro\\", false}, // relative to the current drive's root
        {"\\\\server\\", false},
        {"\\\\\\share\\", false},
        {"\\\\server\\\\", false},
        {"1:\\x\\", false},
    };
    for (const auto& [path, absolute] : cases) EXPECT_EQ(IsAbsoluteFolder(path), absolute) << path;
}

TEST(EnvironmentPathRules, AddTrailingBackslashLeavesEmptyAndFinishedPathsAlone) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"C:\\", "C:\\"},
        {"C:\\Temp", "C:\\Temp\\"},
        {"C:", "C:\\"},
        {"Lingvaro", "Lingvaro\\"},
        {"C:\\Temp\\\\", "C:\\Temp\\\\"},
        {"C:/Temp/", "C:/Temp/\\"},
    };
    for (const auto& [given, expected] : cases) {
        std::string path = given;
        AddTrailingBackslash(path);
        EXPECT_EQ(path, expected) << given;
    }
}

TEST(EnvironmentPathRules, Wow6432NodeGoesInAfterTheFirstBackslash) {
    EXPECT_EQ(Wow6432NodePath("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"),
              "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\");
    EXPECT_EQ(Wow6432NodePath("Software\\"), "Software\\WOW6432Node\\");
    EXPECT_EQ(Wow6432NodePath("Software"), "WOW6432Node\\Software");
    EXPECT_EQ(Wow6432NodePath(""), "WOW6432Node\\");
}

// The long-path form goes only in front of absolute Win32 paths; trailing
// backslashes go, except the one of a drive root.
TEST(EnvironmentPathRules, ExtendedLengthFormAndTrailingBackslashes) {
    using Rule = std::wstring (*)(const std::wstring&);
    const Rule extended = ExtendedLengthPath;
    const Rule trimmed = [](const std::wstring& path) { return WithoutTrailingBackslashes(path); };
    const std::tuple<Rule, std::wstring, std::wstring> cases[] = {
        {extended, L"C:\\Program Files\\Lingvaro", L"\\\\?\\C:\\Program Files\\Lingvaro"},
        {extended, L"z:\\", L"\\\\?\\z:\\"},
        {extended, L"\\\\server\\share\\Lingvaro", L"\\\\?\\UNC\\server\\share\\Lingvaro"},
        {extended, L"\\\\?\\C:\\x", L"\\\\?\\C:\\x"},
        {extended, L"\\\\?\\UNC\\server\\share", L"\\\\?\\UNC\\server\\share"},
        {extended, L"\\\\.\\C:\\x", L"\\\\.\\C:\\x"},
        {extended, L"\\??\\C:\\x", L"\\??\\C:\\x"},
        {extended, L"Lingvaro\\", L"Lingvaro\\"},
        {extended, L"C:Lingvaro", L"C:Lingvaro"},
        {extended, L"", L""},
        {trimmed, L"\\\\?\\C:\\Lingvaro\\", L"\\\\?\\C:\\Lingvaro"},
        {trimmed, L"\\\\?\\C:\\Lingvaro\\\\\\", L"\\\\?\\C:\\Lingvaro"},
        {trimmed, L"\\\\?\\C:\\Lingvaro", L"\\\\?\\C:\\Lingvaro"},
        {trimmed, L"\\\\?\\C:\\", L"\\\\?\\C:\\"},
        {trimmed, L"\\\\?\\C:\\\\\\", L"\\\\?\\C:\\"},
        {trimmed, L"C:\\", L"C:\\"},
        {trimmed, L"C:\\Temp\\", L"C:\\Temp"},
        {trimmed, L"\\\\?\\UNC\\server\\share\\", L"\\\\?\\UNC\\server\\share"},
        {trimmed, L"", L""},
    };
    for (const auto& [rule, given, expected] : cases) EXPECT_EQ(rule(given), expected) << Narrow(given);
}

TEST(EnvironmentPathRules, KibibytesDropTheRemainderAndStopAtTheLargestPositive32BitValue) {
    constexpr int32_t kLargest = std::numeric_limits<int32_t>::max();
    const std::pair<uint64_t, int32_t> cases[] = {
        {0, 0},
        {1023, 0},
        {1024, 1},
        {2047, 1},
        {2048, 2},
        // Past 4 GiB a 32-bit sum would have wrapped to a few KiB.
        {(uint64_t{1} << 32) + 3 * 1024 + 5, 4194307},
        {uint64_t{kLargest} * 1024 + 1023, kLargest},
        {(uint64_t{kLargest} + 1) * 1024, kLargest},
        {std::numeric_limits<uint64_t>::max(), kLargest},
    };
    for (const auto& [bytes, kib] : cases) EXPECT_EQ(KibibytesCapped(bytes), kib) << bytes;
}

}  // namespace
}  // namespace lvm
