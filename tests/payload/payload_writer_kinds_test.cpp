// The payload writer over each kind of file with a version rule: which
// field each probes, what the older-version question shows, and files that
// carry no version to compare.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "payload/payload_writer.h"
#include "payload/writer_harness.h"
#include "support/scripted_ui.h"

namespace lvm {
namespace {

using test::PathExists;
using test::ReadFileBytes;
using test::TempFolder;
using test::WriteFileBytes;

using test::kHiddenAndShown;
using test::kIdNo;

// Each kind with a version rule probes its own field; the question shows both values.
TEST(PayloadWriterKinds, EachKindComparesItsOwnVersion) {
    const struct {
        const char* kind;
        const char* subfolder;
        std::string installed;
        std::string installedVersion;  // empty: no question
        std::string newVersion;
    } cases[] = {
        {"cok", "", std::string("lvt0\x22\xFF\xFF\x00", 8), "65535", "55056"},
        {"cok", "", std::string("lvt0\x22\x00\x01\x00", 8), "", ""},
        {"3bs", "", std::string("lvt0\x22\x10\xD8\x00", 8), "216", "215"},
        {"3bs", "", std::string("lvt0\x22\x10\xD7\xFF", 8), "", ""},  // byte 7 is not read
        {"pak", "", std::string("lvt0\x22\x10\xD7\x01", 8), "471", "215"},
        {"lng", "", "[langver]\r\n9\r\n", "9", "5"},
        {"lng", "", "[langver]\r\n5\r\n", "", ""},
        {"lng", "My!Lang", "[langver]\r\n9\r\n", "", ""},  // "!" in the path: not compared
        {"dat", "", std::string("lvt0\x22\x10\xFF\xFF", 8), "", ""},  // no version rule
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + c.installedVersion + " " + c.subfolder);
        TempFolder folder(c.subfolder);
        const std::string destination = folder / (std::string("lvt0.") + c.kind);
        ASSERT_TRUE(WriteFileBytes(destination, c.installed));
        test::WriterHarness writer;
        test::ScriptedUserInterface& ui = writer.ui;
        const bool asked = !c.installedVersion.empty();
        if (asked) ui.Answer(kIdNo);
        EXPECT_EQ(writer.Write("lvt0", c.kind, destination),
                  asked ? PayloadOutcome::KeptNewer : PayloadOutcome::Written);
        if (asked) {
            ASSERT_EQ(ui.Texts().size(), 1u);
            EXPECT_NE(ui.Texts()[0].find("new file version " + c.installedVersion + " with an older file version " +
                                         c.newVersion + "?"),
                      std::string::npos)
                << ui.Texts()[0];
            EXPECT_EQ(ReadFileBytes(destination), c.installed);
            EXPECT_EQ(writer.progress.calls, kHiddenAndShown);
        } else {
            EXPECT_TRUE(ui.Shown().empty());
            EXPECT_EQ(ReadFileBytes(destination), test::TestResource("LVT0", c.kind));
            EXPECT_TRUE(writer.progress.calls.empty());
        }
        EXPECT_FALSE(PathExists(folder / (std::string("~lvt0.") + c.kind)));
    }
}

// An installed language file whose value does not convert is replaced; its
// probe reports it, unless a "!" in the path means it is not probed at all.
TEST(PayloadWriterKinds, UnreadableInstalledLanguageFileIsReplaced) {
    for (const bool underExclamationMark : {false, true}) {
        SCOPED_TRACE(underExclamationMark ? "under Lang!" : "plain folder");
        TempFolder folder(underExclamationMark ? "Lang!" : "");
        const std::string destination = folder / "lvt0.lng";
        ASSERT_TRUE(WriteFileBytes(destination, "[langver]\r\nfive\r\n"));
        test::WriterHarness writer;
        test::ScriptedUserInterface& ui = writer.ui;
        EXPECT_EQ(writer.Write("lvt0", "lng", destination), PayloadOutcome::Written);
        // The probe of the installed file reports; its 0 is not newer than 5.
        const std::vector<std::string> reported{"Can't handle the language support file " + destination};
        EXPECT_EQ(ui.Texts(), underExclamationMark ? std::vector<std::string>() : reported);
        EXPECT_EQ(ReadFileBytes(destination), test::TestResource("LVT0", "LNG"));
    }
}

TEST(PayloadWriterKinds, ExecutableWithoutVersionAgainstAVersionedInstalledOneIsAskedAbout) {
    TempFolder folder;
    const std::string destination = folder / "lvt0.exe";
    ASSERT_TRUE(CopyFileW(Widen(test::OwnExecutablePath()).c_str(), Widen(destination).c_str(), FALSE));
    const std::optional<std::string> installed = ReadFileBytes(destination);
    test::WriterHarness writer;
    test::ScriptedUserInterface& ui = writer.ui;
    ui.Answer(kIdNo);
    EXPECT_EQ(writer.Write("lvt0", "exe", destination), PayloadOutcome::KeptNewer);
    ASSERT_EQ(ui.Texts().size(), 1u);
    EXPECT_NE(ui.Texts()[0].find("new file version 2.5.0.7 with an older file version ?"), std::string::npos)
        << ui.Texts()[0];
    EXPECT_EQ(ReadFileBytes(destination), installed);
    EXPECT_FALSE(PathExists(folder / "~lvt0.exe"));
}

TEST(PayloadWriterKinds, ExecutableWithoutAnInstalledVersionIsReplaced) {
    TempFolder folder;
    const std::string destination = folder / "lvt0.exe";
    ASSERT_TRUE(WriteFileBytes(destination, "an old text, no executable"));
    test::WriterHarness writer;
    test::ScriptedUserInterface& ui = writer.ui;
    EXPECT_EQ(writer.Write("lvt0", "exe", destination), PayloadOutcome::Written);
    EXPECT_TRUE(ui.Shown().empty());
    EXPECT_EQ(ReadFileBytes(destination), test::TestResource("LVT0", "EXE"));
}

}  // namespace
}  // namespace lvm
