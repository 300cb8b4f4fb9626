// The version probes over files the tests write.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "payload/version_probes.h"
#include "payload/writer_harness.h"
#include "support/scripted_ui.h"

namespace lvm {
namespace {

using test::TempFolder;
using test::WriteFileBytes;

std::string Bytes(std::initializer_list<unsigned char> bytes) { return std::string(bytes.begin(), bytes.end()); }

// A file of `size` bytes that starts with `head`; the rest is a hole the
// file system does not store.
bool WriteSparseFile(const std::string& path, const std::string& head, int64_t size) {
    if (!WriteFileBytes(path, head)) return false;
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER end;
    end.QuadPart = size;
    const bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}

// Holds a file open with no sharing at all, as another program might.
class ExclusiveHold {
public:
    explicit ExclusiveHold(const std::string& path)
        : handle_(CreateFileW(Widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~ExclusiveHold() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

TEST(PayloadVersionProbes, FixedOffsetProbesOverFiles) {
    TempFolder folder;
    const std::string eight = Bytes({'l', 'v', 'm', '0', 0x22, 0x02, 0xD7, 0x00});
    const struct {
        const char* name;
        std::string content;
        int32_t pak, cok, bs3;
    } cases[] = {
        {"eight.bin", eight, 215, 0xD702, 215},
        {"seven.bin", eight.substr(0, 7), 0, 0xD702, 215},
        {"six.bin", eight.substr(0, 6), 0, 0, 0},
        {"empty.bin", "", 0, 0, 0},
        {"unsigned.bin", Bytes({0, 0, 0, 0, 0, 0xFF, 0x00, 0x80}), 32768, 0xFF, 0},
        {"highest.bin", Bytes({0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}), 65535, 65535, 255},
        {"byte6only.bin", Bytes({0, 0, 0, 0, 0, 0, 0xD7, 0x01}), 0x01D7, 0xD700, 215},
    };
    for (const auto& c : cases) {
        const std::string path = folder / c.name;
        ASSERT_TRUE(WriteFileBytes(path, c.content)) << c.name;
        EXPECT_EQ(ReadPakVersion(path), c.pak) << c.name;
        EXPECT_EQ(ReadCokVersion(path), c.cok) << c.name;
        EXPECT_EQ(Read3bsVersion(path), c.bs3) << c.name;
    }
}

TEST(PayloadVersionProbes, FixedOffsetProbesGiveZeroWhenNothingCanBeRead) {
    TempFolder folder;
    const std::string eight = Bytes({'l', 'v', 'm', '0', 0x22, 0x02, 0xD7, 0x00});
    const std::string held = folder / "held.pak";
    ASSERT_TRUE(WriteFileBytes(held, eight));
    ExclusiveHold hold(held);
    ASSERT_TRUE(hold.held());
    for (const std::string& path : {folder / "missing.pak", folder.Folder(), held, std::string()}) {
        EXPECT_EQ(ReadPakVersion(path), 0) << path;
        EXPECT_EQ(ReadCokVersion(path), 0) << path;
        EXPECT_EQ(Read3bsVersion(path), 0) << path;
    }
}

TEST(PayloadVersionProbes, HugeFileIsReadAtItsFieldOnly) {
    TempFolder folder;
    const std::string path = folder / "huge.pak";
    ASSERT_TRUE(WriteSparseFile(path, Bytes({'l', 'v', 'm', '0', 0x22, 0x02, 0xD7, 0x00}), 5LL << 30));
    EXPECT_EQ(ReadPakVersion(path), 215);
}

TEST(PayloadVersionProbes, LanguageFileValues) {
    TempFolder folder;
    const struct {
        const char* name;
        std::string content;
        int32_t expected;
        bool reported;
    } cases[] = {
        {"upper.lng", "[LANGVER]\r\n12\r\n", 12, false},
        {"blank-before-header.lng", " [langver]\r\n12\r\n7\r\n", 7, false},
        {"trailing-blank.lng", "[langver]\r\n12 \r\n", 0, true},
        {"leading-blank.lng", "[langver]\r\n 12\r\n", 12, false},
        {"header-last.lng", "[strings]\r\nx\r\n[langver]\r\n", 0, true},
        {"empty.lng", "", 0, true},
        {"no-header.lng", "[strings]\r\nhello\r\n7", 7, false},
        {"negative.lng", "[langver]\r\n-3\r\n", -3, false},
        {"out-of-range.lng", "[langver]\r\n4294967296\r\n", 0, true},
        {"letters.lng", "[langver]\r\nv12\r\n", 0, true},
        {"long-line.lng", std::string(300000, 'x') + "\r\n[langver]\r\n21\r\n", 21, false},
        {"long-value.lng", "[langver]\r\n" + std::string(300000, '1') + "\r\n", 0, true},
    };
    for (const auto& c : cases) {
        const std::string path = folder / c.name;
        ASSERT_TRUE(WriteFileBytes(path, c.content)) << c.name;
        test::TestRun run;
        test::ScriptedUserInterface& ui = run.ui;
        EXPECT_EQ(ReadLngVersion(path, run.Messenger()), c.expected) << c.name;
        if (c.reported) {
            ASSERT_EQ(ui.Texts().size(), 1u) << c.name;
            EXPECT_EQ(ui.Texts()[0], "Can't handle the language support file " + path);
            EXPECT_EQ(ui.Shown()[0].style, kErrorBoxStyle);
        } else {
            EXPECT_TRUE(ui.Shown().empty()) << c.name;
        }
    }
}

TEST(PayloadVersionProbes, LanguageFileThatCannotBeOpenedIsReportedInRussianToo) {
    TempFolder folder;
    const std::string path = folder / "held.lng";
    ASSERT_TRUE(WriteFileBytes(path, "[langver]\r\n12\r\n"));
    ExclusiveHold hold(path);
    ASSERT_TRUE(hold.held());
    test::TestRun run(/*russian=*/true);
    test::ScriptedUserInterface& ui = run.ui;
    EXPECT_EQ(ReadLngVersion(path, run.Messenger()), 0);
    ASSERT_EQ(ui.Shown().size(), 1u);
    EXPECT_EQ(ui.Shown()[0].text, "Не удаётся работать с файлом языковой поддержки " + path);
    EXPECT_EQ(ui.Shown()[0].languageId, kRussianLanguageId);
}

TEST(PayloadVersionProbes, MissingLanguageFileGivesZeroSilently) {
    TempFolder folder;
    test::TestRun run;
    test::ScriptedUserInterface& ui = run.ui;
    EXPECT_EQ(ReadLngVersion(folder / "missing.lng", run.Messenger()), 0);
    EXPECT_EQ(ReadLngVersion(folder.Folder(), run.Messenger()), 0);  // a folder is no file
    EXPECT_TRUE(ui.Shown().empty());
}

TEST(PayloadVersionProbes, HugeLanguageFileIsReadOnlyUpToItsValue) {
    TempFolder folder;
    const std::string path = folder / "huge.lng";
    ASSERT_TRUE(WriteSparseFile(path, "[langver]\r\n34\r\n", 5LL << 30));
    test::TestRun run;
    EXPECT_EQ(ReadLngVersion(path, run.Messenger()), 34);
}

TEST(PayloadVersionProbes, ExecutableVersionIsTheFirstTranslationsFileVersion) {
    // The test executable carries two translations with different strings.
    EXPECT_EQ(ReadExeFileVersion(test::OwnExecutablePath()), "2.5.0.7");
}

TEST(PayloadVersionProbes, ExecutableVersionIsEmptyWithoutAnExecutableOrAVersion) {
    TempFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder / "text.exe", "MZ but not an executable"));
    ASSERT_TRUE(WriteFileBytes(folder / "notes.txt", "2.5.0.7"));
    for (const std::string& path : {folder / "text.exe", folder / "notes.txt", folder / "missing.exe",
                                    folder.Folder(), std::string()}) {
        EXPECT_EQ(ReadExeFileVersion(path), "") << path;
    }
}

TEST(PayloadVersionProbes, ExecutableWithoutAVersionResourceHasNoVersion) {
    // The stand-in application is built beside the tests without a version resource.
    const std::string own = test::OwnExecutablePath();
    const std::string standIn = own.substr(0, own.find_last_of('\\') + 1) + "Lingvaro.exe";
    if (!test::PathExists(standIn)) GTEST_SKIP() << "no stand-in application at " << standIn;
    EXPECT_EQ(ReadExeFileVersion(standIn), "");
}

}  // namespace
}  // namespace lvm
