// The text side of the console capture: lines as a text-file reader splits
// them, the temporary path and the interpreter's command line.
#include <gtest/gtest.h>

#include <set>

#include "common/random.h"
#include "sysinfo/capture_text.h"

namespace lvm {
namespace {

TEST(CaptureText, LinesEndInCrLfWhateverEndedThemInTheFile) {
    struct Row {
        std::string file;
        std::string captured;
    };
    const Row rows[] = {
        {"", "\r\n"},  // at least one line
        {"\r\n", "\r\n"},
        {"\n", "\r\n"},
        {"\r", "\r\n"},
        {"ver", "ver\r\n"},  // a last line without an end
        {"ver\r\n", "ver\r\n"},
        {"ver\n", "ver\r\n"},
        {"ver\r", "ver\r\n"},
        {"\r\nMicrosoft Windows [Version 10.0.19045.3803]\r\n",
         "\r\nMicrosoft Windows [Version 10.0.19045.3803]\r\n"},
        {"a\r\n\r\n", "a\r\n\r\n"},
        {"a\n\nb", "a\r\n\r\nb\r\n"},
        {"a\r\rb", "a\r\n\r\nb\r\n"},
        {"a\n\rb", "a\r\n\r\nb\r\n"},  // LF then a lone CR: two line ends
        {"a\r\n\nb", "a\r\n\r\nb\r\n"},
        {std::string("a\0b\r\n", 5), std::string("a\0b\r\n", 5)},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CaptureLinesWithCrLf(row.file), row.captured) << testing::PrintToString(row.file);
    }
}

TEST(CaptureText, PathGetsOneBackslashAndNoneForTheCurrentFolder) {
    EXPECT_EQ(CaptureFilePath("C:\\Temp", "abcdefgh"), "C:\\Temp\\abcdefgh");
    EXPECT_EQ(CaptureFilePath("C:\\Temp\\", "abcdefgh"), "C:\\Temp\\abcdefgh");
    EXPECT_EQ(CaptureFilePath("C:\\", "abcdefgh"), "C:\\abcdefgh");
    EXPECT_EQ(CaptureFilePath("", "abcdefgh"), "abcdefgh");
}

TEST(CaptureText, CommandLineQuotesTheOutputPathOnly) {
    EXPECT_EQ(CaptureCommandLine("C:\\Windows\\system32\\cmd.exe", "ver",
                                 "C:\\Users\\Some One\\Temp\\qwertyui"),
              "C:\\Windows\\system32\\cmd.exe /c ver > \"C:\\Users\\Some One\\Temp\\qwertyui\"");
}

TEST(CaptureText, NamesAreEightLowerCaseLettersFromTheSeededGenerator) {
    SeedRandom(20240601);
    const std::string first = RandomCaptureName();
    SeedRandom(20240601);
    EXPECT_EQ(RandomCaptureName(), first);  // the process's one generator decides

    std::set<std::string> names;
    std::set<char> letters;
    for (int i = 0; i < 500; ++i) {
        const std::string name = RandomCaptureName();
        ASSERT_EQ(name.size(), 8u);
        for (const char c : name) {
            ASSERT_TRUE(c >= 'a' && c <= 'z') << name;
            letters.insert(c);
        }
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 500u);
    EXPECT_EQ(letters.size(), 26u);
}

}  // namespace
}  // namespace lvm
