// The payload writer through the real resource path: the test executable's
// own resources written into scratch folders, every outcome checked on disk;
// then each kind of file with a version rule: which field each probes, what
// the older-version question shows, and files that carry no version to compare.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "common/scoped_handle.h"
#include "payload/payload_files.h"
#include "payload/payload_writer.h"
#include "payload/writer_harness.h"
#include "support/scripted_ui.h"
#include "support/test_paths.h"

namespace lvm {
namespace {

using test::PathExists;
using test::ReadFileBytes;
using test::TempFolder;
using test::WriteFileBytes;

using test::kHiddenAndShown;
using test::kIdNo;
constexpr int kIdCancel = 2;

// A package file as the resource "LVT0" of kind "pak" would be, with another
// version in bytes 6-7 and another body.
std::string InstalledPackage(uint16_t version) {
    std::string bytes = "lvt0";
    bytes += '\x22';
    bytes += '\x10';
    bytes += static_cast<char>(version & 0xFF);
    bytes += static_cast<char>(version >> 8);
    return bytes + "installed package payload";
}

// Writes half of the first chunk and then reports a full disk.
bool FailHalfWay(HANDLE file, const void* bytes, DWORD size) {
    DWORD written = 0;
    WriteFile(file, bytes, size / 2, &written, nullptr);
    SetLastError(ERROR_DISK_FULL);
    return false;
}

// The new file as something planted in its place would make it look.
bool DescribeWithASecondName(HANDLE file, TFileDescription& facts) {
    const bool described = SystemDescribeFile(file, facts);
    facts.links = 2;
    return described;
}
bool DescribeAsAReparsePoint(HANDLE file, TFileDescription& facts) {
    const bool described = SystemDescribeFile(file, facts);
    facts.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return described;
}
// As if a link had been put in place of the folder: the file lies in a
// folder beside it whose name begins the same.
bool DescribeInAnotherFolder(HANDLE file, TFileDescription& facts) {
    const bool described = SystemDescribeFile(file, facts);
    facts.finalPath.insert(facts.finalPath.rfind(L'\\'), L"-elsewhere");
    return described;
}
// What Windows tells of a junction: a folder that is a reparse point.
bool DescribeFoldersAsJunctions(HANDLE file, TFileDescription& facts) {
    const bool described = SystemDescribeFile(file, facts);
    if (facts.attributes & FILE_ATTRIBUTE_DIRECTORY) facts.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return described;
}
// Someone takes the name again right after the writer cleared it.
void ClearAndPlantAgain(const std::wstring& path, FileDescriber describe) {
    SystemClearLeftover(path, describe);
    test::WriteFileBytes(Narrow(path), "leftover");
}

// The rename over the destination fails as Windows makes it fail: with a
// sharing violation while another program holds the file, with access denied
// over a folder of that name. A rename to a free name (kept for the restart)
// goes through.
bool FailReplaceWith(DWORD error, HANDLE file, const std::wstring& name, bool replaceExisting) {
    if (!replaceExisting) return SystemRenameFile(file, name, false);
    SetLastError(error);
    return false;
}
bool FailReplaceWithSharingViolation(HANDLE file, const std::wstring& name, bool replaceExisting) {
    return FailReplaceWith(ERROR_SHARING_VIOLATION, file, name, replaceExisting);
}
bool FailReplaceWithAccessDenied(HANDLE file, const std::wstring& name, bool replaceExisting) {
    return FailReplaceWith(ERROR_ACCESS_DENIED, file, name, replaceExisting);
}

bool FailToFlush(HANDLE) {
    SetLastError(ERROR_IO_DEVICE);
    return false;
}

// The writer's calls on its new file, in order, through every seam.
std::vector<std::string> g_fileCalls;
bool RecordWrite(HANDLE file, const void* bytes, DWORD size) {
    g_fileCalls.push_back("write " + std::to_string(size));
    return SystemWriteChunk(file, bytes, size);
}
bool RecordFlush(HANDLE file) {
    g_fileCalls.push_back("flush");
    return SystemFlushFile(file);
}
bool RecordDeleteOnClose(HANDLE file, bool remove) {
    g_fileCalls.push_back(remove ? "delete on close" : "keep on close");
    return SystemSetDeleteOnClose(file, remove);
}
bool RecordRename(HANDLE file, const std::wstring& name, bool replaceExisting) {
    g_fileCalls.push_back(std::string(replaceExisting ? "replace " : "rename ") + Narrow(name.substr(name.rfind(L'\\') + 1)));
    return SystemRenameFile(file, name, replaceExisting);
}

const char kOutsideData[] = "a file outside the folder";

// Holds a file open for reading the way an application might: other readers
// welcome, but no one may delete, rename over or write it meanwhile.
class ReaderHold {
public:
    explicit ReaderHold(const std::string& path)
        : handle_(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr)) {}
    ~ReaderHold() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

class PayloadWriter : public testing::Test {
protected:
    std::string NewData() const { return test::TestResource("LVT0", "PAK"); }

};

enum class Installed { None, Older, Equal, Newer };
enum class Obstacle {
    None,
    ReadOnlyInstalled,
    HeldInstalled,
    TemporaryIsFolder,
    WriteFailsPartWay,
    LeftoverTemporary,
    ReadOnlyLeftoverTemporary,
    HardLinkAtTemporary,  // to a file outside the folder
    JunctionAtTemporary,
    NameTakenAgainAfterClearing,
    NewFileHasASecondName,
    NewFileIsAReparsePoint,
    NewFileInAnotherFolder,
    FlushFails,
    HeldAndNameKeptForRestartTaken,  // Continue, with a file planted at the kept name in advance
    HeldBySharingViolation,          // the rename fails with error 32; the user cancels
    FolderAtDestinationAccessDenied,  // would be kept for the restart if it counted as held
    KeptForRestartAndOtherFilesBeside,  // a name kept by an earlier run, and a file of the user's
};
enum class Expect { Absent, NewData, InstalledData, Leftover };

struct OutcomeCase {
    const char* name;
    Installed installed;
    // "dat" has no version rule: an installed file is never compared, the
    // new one goes straight in its place.
    const char* kind;
    Obstacle obstacle;
    int answer;  // to the older-version question, when it is asked
    PayloadOutcome outcome;
    Expect destination;
    Expect temporary;
    bool asked;
    std::vector<std::string> progress;
};

const std::vector<std::string> kNoProgress;
const std::vector<std::string> kHiddenOnly{"hide"};

const OutcomeCase kOutcomeCases[] = {
    {"no installed file: direct write", Installed::None, "pak", Obstacle::None, 0, PayloadOutcome::Written,
     Expect::NewData, Expect::Absent, false, kNoProgress},
    {"no version rule: a newer file is overwritten", Installed::Newer, "dat", Obstacle::None, 0,
     PayloadOutcome::Written, Expect::NewData, Expect::Absent, false, kNoProgress},
    {"equal version: replaced without a question", Installed::Equal, "pak", Obstacle::None, 0,
     PayloadOutcome::Written, Expect::NewData, Expect::Absent, false, kNoProgress},
    {"older installed: replaced without a question", Installed::Older, "pak", Obstacle::None, 0,
     PayloadOutcome::Written, Expect::NewData, Expect::Absent, false, kNoProgress},
    {"newer installed, answer No", Installed::Newer, "pak", Obstacle::None, kIdNo, PayloadOutcome::KeptNewer,
     Expect::InstalledData, Expect::Absent, true, kHiddenAndShown},
    {"newer installed, answer Cancel", Installed::Newer, "pak", Obstacle::None, kIdCancel,
     PayloadOutcome::KeptNewer, Expect::InstalledData, Expect::Absent, true, kHiddenAndShown},
    {"newer installed, answer Yes", Installed::Newer, "pak", Obstacle::None, kAnswerYes, PayloadOutcome::Written,
     Expect::NewData, Expect::Absent, true, kHiddenAndShown},
    {"saving the temporary file fails", Installed::Equal, "pak", Obstacle::TemporaryIsFolder, 0,
     PayloadOutcome::Failed, Expect::InstalledData, Expect::Absent, false, kNoProgress},
    {"saving the temporary file fails part-way", Installed::Equal, "pak", Obstacle::WriteFailsPartWay, 0,
     PayloadOutcome::Failed, Expect::InstalledData, Expect::Absent, false, kNoProgress},
    {"read-only installed file", Installed::Equal, "pak", Obstacle::ReadOnlyInstalled, 0, PayloadOutcome::Failed,
     Expect::InstalledData, Expect::NewData, false, kNoProgress},
    {"installed file held open", Installed::Equal, "pak", Obstacle::HeldInstalled, 0, PayloadOutcome::Failed,
     Expect::InstalledData, Expect::NewData, false, kNoProgress},
    {"read-only newer installed file, answer Yes", Installed::Newer, "pak", Obstacle::ReadOnlyInstalled,
     kAnswerYes, PayloadOutcome::Failed, Expect::InstalledData, Expect::NewData, true, kHiddenOnly},
    {"held newer installed file, answer Yes", Installed::Newer, "pak", Obstacle::HeldInstalled, kAnswerYes,
     PayloadOutcome::Failed, Expect::InstalledData, Expect::NewData, true, kHiddenOnly},
    {"held, Continue, the kept name taken in advance", Installed::Equal, "pak",
     Obstacle::HeldAndNameKeptForRestartTaken, 0, PayloadOutcome::Failed, Expect::InstalledData, Expect::Absent,
     false, kNoProgress},
    {"no version rule: direct write over a read-only file", Installed::Equal, "dat", Obstacle::ReadOnlyInstalled, 0,
     PayloadOutcome::Failed, Expect::InstalledData, Expect::Absent, false, kNoProgress},
    {"no version rule: direct write over a file held open", Installed::Equal, "dat", Obstacle::HeldInstalled, 0,
     PayloadOutcome::Failed, Expect::InstalledData, Expect::Absent, false, kNoProgress},
    {"the flush fails", Installed::Equal, "pak", Obstacle::FlushFails, 0, PayloadOutcome::Failed,
     Expect::InstalledData, Expect::Absent, false, kNoProgress},
    {"direct write fails part-way", Installed::None, "pak", Obstacle::WriteFailsPartWay, 0,
     PayloadOutcome::Failed, Expect::Absent, Expect::Absent, false, kNoProgress},
    // The new data go to a file of their own first: the old file stays whole.
    {"no version rule: direct overwrite fails part-way", Installed::Equal, "dat", Obstacle::WriteFailsPartWay, 0,
     PayloadOutcome::Failed, Expect::InstalledData, Expect::Absent, false, kNoProgress},
    {"a leftover temporary file is overwritten", Installed::Equal, "pak", Obstacle::LeftoverTemporary, 0,
     PayloadOutcome::Written, Expect::NewData, Expect::Absent, false, kNoProgress},
    {"a read-only leftover temporary file stops the write", Installed::Equal, "pak",
     Obstacle::ReadOnlyLeftoverTemporary, 0, PayloadOutcome::Failed, Expect::InstalledData, Expect::Leftover,
     false, kNoProgress},
    // Whatever lies at the temporary name is never written through.
    {"a hard link at the temporary name loses only that name", Installed::Equal, "pak",
     Obstacle::HardLinkAtTemporary, 0, PayloadOutcome::Written, Expect::NewData, Expect::Absent, false,
     kNoProgress},
    {"a hard link at the temporary name, no installed file", Installed::None, "pak", Obstacle::HardLinkAtTemporary,
     0, PayloadOutcome::Written, Expect::NewData, Expect::Absent, false, kNoProgress},
    {"a junction at the temporary name goes as a link", Installed::Equal, "pak", Obstacle::JunctionAtTemporary, 0,
     PayloadOutcome::Written, Expect::NewData, Expect::Absent, false, kNoProgress},
    {"the name taken again after clearing", Installed::Equal, "pak", Obstacle::NameTakenAgainAfterClearing, 0,
     PayloadOutcome::Failed, Expect::InstalledData, Expect::Leftover, false, kNoProgress},
    {"the name taken again, no installed file", Installed::None, "pak", Obstacle::NameTakenAgainAfterClearing, 0,
     PayloadOutcome::Failed, Expect::Absent, Expect::Leftover, false, kNoProgress},
    {"a new file with a second name is refused", Installed::Equal, "pak", Obstacle::NewFileHasASecondName, 0,
     PayloadOutcome::Failed, Expect::InstalledData, Expect::Absent, false, kNoProgress},
    {"a new file that is a reparse point is refused", Installed::Equal, "pak", Obstacle::NewFileIsAReparsePoint, 0,
     PayloadOutcome::Failed, Expect::InstalledData, Expect::Absent, false, kNoProgress},
    {"a new file in another folder is refused", Installed::Equal, "pak", Obstacle::NewFileInAnotherFolder, 0,
     PayloadOutcome::Failed, Expect::InstalledData, Expect::Absent, false, kNoProgress},
    {"a new file in another folder, no installed file", Installed::None, "pak", Obstacle::NewFileInAnotherFolder,
     0, PayloadOutcome::Failed, Expect::Absent, Expect::Absent, false, kNoProgress},
    {"a sharing violation counts as held", Installed::Equal, "pak", Obstacle::HeldBySharingViolation, 0,
     PayloadOutcome::Cancelled, Expect::InstalledData, Expect::Absent, false, kNoProgress},
    // Only a file can be held: a folder there fails at once, with no tries and no question.
    {"access denied over a folder at the destination", Installed::None, "pak",
     Obstacle::FolderAtDestinationAccessDenied, 0, PayloadOutcome::Failed, Expect::Absent, Expect::Absent, false,
     kNoProgress},
    // Once replaced, only the names kept for a restart go; every other file beside it stays.
    {"a replace clears only the names kept for a restart", Installed::Equal, "pak",
     Obstacle::KeptForRestartAndOtherFilesBeside, 0, PayloadOutcome::Written, Expect::NewData, Expect::Absent,
     false, kNoProgress},
};

std::optional<std::string> ExpectedBytes(Expect expect, const std::string& newData, const std::string& installed) {
    switch (expect) {
        case Expect::NewData:
            return newData;
        case Expect::InstalledData:
            return installed;
        case Expect::Leftover:
            return std::string("leftover");
        case Expect::Absent:
            break;
    }
    return std::nullopt;
}

uint16_t InstalledVersion(Installed installed) {
    switch (installed) {
        case Installed::Older:
            return 100;
        case Installed::Newer:
            return 216;
        default:
            return 215;
    }
}

TEST_F(PayloadWriter, EveryOutcomeOnDisk) {
    ASSERT_EQ(NewData().size(), 48u);
    for (const OutcomeCase& c : kOutcomeCases) {
        SCOPED_TRACE(c.name);
        const std::string newData = test::TestResource("LVT0", c.kind);
        TempFolder folder;
        const std::string destination = folder / "lvt0.pak";
        const std::string temporary = folder / "~lvt0.pak";
        const std::string installed = InstalledPackage(InstalledVersion(c.installed));
        if (c.installed != Installed::None) {
            ASSERT_TRUE(WriteFileBytes(destination, installed));
        }
        if (c.obstacle == Obstacle::ReadOnlyInstalled) test::SetReadOnly(destination, true);
        if (c.obstacle == Obstacle::FolderAtDestinationAccessDenied) {
            ASSERT_TRUE(CreateDirectoryW(Widen(destination).c_str(), nullptr));
        }
        const std::string earlierKept = folder / "~lvt0.pak.earlier.restart";
        const std::string usersBackup = folder / "~lvt0.pak.bak";
        if (c.obstacle == Obstacle::KeptForRestartAndOtherFilesBeside) {
            ASSERT_TRUE(WriteFileBytes(earlierKept, "leftover"));
            ASSERT_TRUE(WriteFileBytes(usersBackup, "the user's own"));
        }
        if (c.obstacle == Obstacle::TemporaryIsFolder || c.obstacle == Obstacle::JunctionAtTemporary) {
            ASSERT_TRUE(CreateDirectoryW(Widen(temporary).c_str(), nullptr));
        }
        if (c.obstacle == Obstacle::LeftoverTemporary || c.obstacle == Obstacle::ReadOnlyLeftoverTemporary) {
            ASSERT_TRUE(WriteFileBytes(temporary, "leftover"));
        }
        if (c.obstacle == Obstacle::ReadOnlyLeftoverTemporary) test::SetReadOnly(temporary, true);
        TempFolder outsideFolder;
        const std::string outside = outsideFolder / "system.ini";
        if (c.obstacle == Obstacle::HardLinkAtTemporary) {
            ASSERT_TRUE(WriteFileBytes(outside, kOutsideData));
            ASSERT_TRUE(CreateHardLinkW(Widen(temporary).c_str(), Widen(outside).c_str(), nullptr));
        }
        const std::string kept = folder / "~lvt0.pak.run.restart";
        if (c.obstacle == Obstacle::HeldAndNameKeptForRestartTaken) {
            ASSERT_TRUE(WriteFileBytes(kept, "leftover"));
        }
        std::optional<ReaderHold> hold;
        if (c.obstacle == Obstacle::HeldInstalled || c.obstacle == Obstacle::HeldAndNameKeptForRestartTaken) {
            hold.emplace(destination);
            ASSERT_TRUE(hold->held());
        }
        test::WriterHarness writer;
        if (c.obstacle == Obstacle::WriteFailsPartWay) writer.staging.writeChunk = FailHalfWay;
        if (c.obstacle == Obstacle::FlushFails) writer.staging.flush = FailToFlush;
        if (c.obstacle == Obstacle::HeldAndNameKeptForRestartTaken) {
            writer.whenHeld = [](const std::string&) { return HeldAnswer::FinishAtRestart; };
            writer.staging.scheduleMoveAtRestart = [](const std::wstring&, const std::wstring&) { return true; };
        }
        if (c.obstacle == Obstacle::HeldBySharingViolation) {
            writer.staging.rename = FailReplaceWithSharingViolation;
            writer.whenHeld = [](const std::string&) { return HeldAnswer::Cancel; };
        }
        if (c.obstacle == Obstacle::FolderAtDestinationAccessDenied) {
            writer.staging.rename = FailReplaceWithAccessDenied;
            writer.whenHeld = [](const std::string&) { return HeldAnswer::FinishAtRestart; };
            writer.staging.scheduleMoveAtRestart = [](const std::wstring&, const std::wstring&) { return true; };
        }
        if (c.obstacle == Obstacle::NameTakenAgainAfterClearing) writer.staging.clearLeftover = ClearAndPlantAgain;
        if (c.obstacle == Obstacle::NewFileHasASecondName) writer.staging.describe = DescribeWithASecondName;
        if (c.obstacle == Obstacle::NewFileIsAReparsePoint) writer.staging.describe = DescribeAsAReparsePoint;
        if (c.obstacle == Obstacle::NewFileInAnotherFolder) writer.staging.describe = DescribeInAnotherFolder;
        if (c.obstacle == Obstacle::JunctionAtTemporary) writer.staging.describe = DescribeFoldersAsJunctions;
        test::ScriptedUserInterface& ui = writer.ui;
        if (c.asked) ui.Answer(c.answer);
        EXPECT_EQ(writer.Write("lvt0", c.kind, destination), c.outcome);
        hold.reset();

        std::vector<std::string> expectedTexts;
        if (c.asked) {
            expectedTexts.push_back(destination +
                                    " file installing is of older version\r\n"
                                    "than the same already installed.\r\n\r\n"
                                    "Do you really want to replace existing\r\n"
                                    "new file version 216 with an older file version 215?");
        }
        if (c.outcome == PayloadOutcome::Failed) expectedTexts.push_back("Can't install file " + destination);
        EXPECT_EQ(ui.Texts(), expectedTexts);
        EXPECT_EQ(writer.progress.calls, c.progress);

        EXPECT_EQ(ReadFileBytes(destination), ExpectedBytes(c.destination, newData, installed));
        if (c.obstacle == Obstacle::TemporaryIsFolder) {
            EXPECT_TRUE(GetFileAttributesW(Widen(temporary).c_str()) & FILE_ATTRIBUTE_DIRECTORY);
        } else {
            EXPECT_EQ(ReadFileBytes(temporary), ExpectedBytes(c.temporary, newData, installed));
        }
        if (c.obstacle == Obstacle::ReadOnlyInstalled) {
            EXPECT_TRUE(GetFileAttributesW(Widen(destination).c_str()) & FILE_ATTRIBUTE_READONLY);
        }
        if (c.obstacle == Obstacle::HardLinkAtTemporary) {
            EXPECT_EQ(ReadFileBytes(outside), std::string(kOutsideData));
        }
        if (c.obstacle == Obstacle::HeldAndNameKeptForRestartTaken) {
            EXPECT_EQ(ReadFileBytes(kept), std::string("leftover")) << "the kept name was written through";
        }
        if (c.obstacle == Obstacle::HeldBySharingViolation) {
            EXPECT_FALSE(writer.pauses.empty()) << "not tried again";
        }
        if (c.obstacle == Obstacle::FolderAtDestinationAccessDenied) {
            EXPECT_TRUE(GetFileAttributesW(Widen(destination).c_str()) & FILE_ATTRIBUTE_DIRECTORY);
            EXPECT_TRUE(writer.pauses.empty()) << "tried again";
            EXPECT_FALSE(PathExists(kept)) << "kept for the restart";
        }
        if (c.obstacle == Obstacle::KeptForRestartAndOtherFilesBeside) {
            EXPECT_FALSE(PathExists(earlierKept));
            EXPECT_EQ(ReadFileBytes(usersBackup), std::string("the user's own"));
        }
    }
}

// The new file is delete-on-close from before its first byte until it is
// written and flushed, and only then takes the destination's name.
TEST_F(PayloadWriter, FileIsWrittenFlushedMadeLastingAndThenRenamed) {
    for (const bool installed : {false, true}) {
        TempFolder folder;
        const std::string destination = folder / "lvt0.pak";
        if (installed) {
            ASSERT_TRUE(WriteFileBytes(destination, InstalledPackage(100)));
        }
        test::WriterHarness writer;
        writer.staging = {RecordWrite, SystemDescribeFile, SystemClearLeftover, RecordFlush, RecordDeleteOnClose,
                          RecordRename};
        g_fileCalls.clear();
        EXPECT_EQ(writer.Write("lvt0", "pak", destination), PayloadOutcome::Written);
        const std::vector<std::string> expected{"delete on close", "write 48", "flush", "keep on close",
                                                "replace lvt0.pak"};
        EXPECT_EQ(g_fileCalls, expected) << installed;
    }
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry;
    const ScopedFindHandle search(FindFirstFileW(Widen(folder + "\\*").c_str(), &entry));
    if (!search) return names;
    do {
        const std::string name = Narrow(entry.cFileName);
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileW(search.get(), &entry));
    return names;
}

// A run ended by force inside a write (a power button, a deployment tool's
// time limit) leaves no part of a file behind: the new file is delete-on-close
// from before its first byte. Ended inside the hash of its own file, which
// runs from the start of the run, it leaves that file as it was and nothing
// beside it.
TEST_F(PayloadWriter, ProcessEndedByForceInsideAWriteOrTheHashLeavesNothing) {
    struct Row {
        const wchar_t* mode;
        const char* file;         // the file the helper works on
        bool fileThereBefore;     // a copy of the installer, for the hash
    };
    const Row rows[] = {{L"stage", "~lvt0.pak", false}, {L"check", "lvm0-setup.exe", true}};
    for (const Row& row : rows) {
        TempFolder folder;
        const std::string file = folder / row.file;
        const std::wstring installer = test::BesideTestExecutable(L"lvm0-setup.exe");
        if (row.fileThereBefore) {
            ASSERT_TRUE(CopyFileW(installer.c_str(), Widen(file).c_str(), TRUE));
        }
        const std::wstring eventName = L"lvm-test-inside-" + std::wstring(row.mode) + L"-" +
                                       std::to_wstring(GetCurrentProcessId());
        const ScopedHandle inside(CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
        ASSERT_TRUE(inside);
        const ScopedHandle helper = test::StartProgram(
            test::BesideTestExecutable(L"lvm-test-helper.exe"), std::wstring(row.mode) + L" \"" + Widen(file) +
                                                                    L"\" " + eventName + L" " +
                                                                    std::to_wstring(GetCurrentProcessId()));
        ASSERT_TRUE(helper);
        const HANDLE waits[] = {inside.get(), helper.get()};
        ASSERT_EQ(WaitForMultipleObjects(2, waits, FALSE, 30000), WAIT_OBJECT_0) << "the helper never got inside";
        EXPECT_TRUE(PathExists(file)) << "the file being worked on is not there";
        ASSERT_TRUE(TerminateProcess(helper.get(), 9));
        ASSERT_EQ(WaitForSingleObject(helper.get(), 30000), WAIT_OBJECT_0);
        EXPECT_EQ(PathExists(file), row.fileThereBefore) << row.file;
        EXPECT_EQ(NamesIn(folder.Path()), row.fileThereBefore ? std::vector<std::string>{row.file}
                                                              : std::vector<std::string>{})
            << row.file;
        if (row.fileThereBefore) {
            EXPECT_EQ(ReadFileBytes(file), ReadFileBytes(Narrow(installer))) << row.file;
        }
    }
}

TEST_F(PayloadWriter, QuestionAndFailureBoxesHaveTheirStyles) {
    TempFolder folder;
    const std::string destination = folder / "lvt0.pak";
    ASSERT_TRUE(WriteFileBytes(destination, InstalledPackage(216)));
    test::SetReadOnly(destination, true);
    test::WriterHarness writer;
    test::ScriptedUserInterface& ui = writer.ui;
    ui.Answer(kAnswerYes);
    EXPECT_EQ(writer.Write("lvt0", "pak", destination), PayloadOutcome::Failed);
    ASSERT_EQ(ui.Shown().size(), 2u);
    EXPECT_EQ(ui.Shown()[0].caption, "Sound question");
    EXPECT_EQ(ui.Shown()[0].style, kQuestionBoxStyle);
    EXPECT_EQ(ui.Shown()[0].languageId, 0);
    EXPECT_EQ(ui.Shown()[1].style, kErrorBoxStyle);
    EXPECT_EQ(ui.Shown()[1].languageId, 0);
}

TEST_F(PayloadWriter, RussianQuestionAndFailure) {
    TempFolder folder("Лингваро");
    const std::string destination = folder / "lvt0.pak";
    ASSERT_TRUE(WriteFileBytes(destination, InstalledPackage(216)));
    test::SetReadOnly(destination, true);
    test::WriterHarness writer(/*russian=*/true);
    test::ScriptedUserInterface& ui = writer.ui;
    ui.Answer(kAnswerYes);
    EXPECT_EQ(writer.Write("lvt0", "pak", destination), PayloadOutcome::Failed);
    ASSERT_EQ(ui.Shown().size(), 2u);
    EXPECT_EQ(ui.Shown()[0].text,
              "Устанавливаемый файл " + destination +
                  "\r\nболее старой версии, чем уже установленный.\r\n\r\n"
                  "Действительно ли Вы хотите заменить уже имеющийся\r\nфайл версии 216 на более старый версии 215?");
    EXPECT_EQ(ui.Shown()[0].caption, "Резонный вопрос");
    EXPECT_EQ(ui.Shown()[0].style, kQuestionBoxStyle);
    EXPECT_EQ(ui.Shown()[0].languageId, kRussianLanguageId);
    EXPECT_EQ(ui.Shown()[1].text, "Не удается установить файл " + destination);
    EXPECT_EQ(ui.Shown()[1].languageId, kRussianLanguageId);
}

TEST_F(PayloadWriter, MissingResourceIsReportedAndTouchesNothing) {
    TempFolder folder;
    const std::string destination = folder / "none.pak";
    ASSERT_TRUE(WriteFileBytes(destination, InstalledPackage(100)));
    test::WriterHarness writer;
    test::ScriptedUserInterface& ui = writer.ui;
    EXPECT_EQ(writer.Write("none", "pak", destination), PayloadOutcome::Failed);
    EXPECT_EQ(writer.Write("lvt0", "zzz", destination), PayloadOutcome::Failed);
    EXPECT_EQ(ui.Texts(), std::vector<std::string>(2, "Can't install file " + destination));
    EXPECT_EQ(ReadFileBytes(destination), InstalledPackage(100));
    EXPECT_FALSE(PathExists(folder / "~none.pak"));
}

TEST_F(PayloadWriter, SplitPayloadIsBothPartsInOrderWithoutAComparison) {
    TempFolder folder;
    const std::string destination = folder / "lvq.pak";
    ASSERT_TRUE(WriteFileBytes(destination, InstalledPackage(60000)));
    test::WriterHarness writer;
    test::ScriptedUserInterface& ui = writer.ui;
    EXPECT_EQ(writer.WriteSplit("lvq", "pak", destination), PayloadOutcome::Written);
    EXPECT_TRUE(ui.Shown().empty());
    EXPECT_TRUE(writer.progress.calls.empty());
    EXPECT_EQ(ReadFileBytes(destination), std::string("<first part of the split payload><second part>"));
    EXPECT_FALSE(PathExists(folder / "~lvq.pak"));
}

TEST_F(PayloadWriter, SplitPayloadFailures) {
    TempFolder folder;
    const std::string destination = folder / "lvq.pak";
    test::WriterHarness writer;
    test::ScriptedUserInterface& ui = writer.ui;
    // A pair whose parts are not there.
    EXPECT_EQ(writer.WriteSplit("lvt", "pak", destination), PayloadOutcome::Failed);
    EXPECT_FALSE(PathExists(destination));
    // A write that fails part-way leaves no truncated file.
    writer.staging.writeChunk = FailHalfWay;
    EXPECT_EQ(writer.WriteSplit("lvq", "pak", destination), PayloadOutcome::Failed);
    writer.staging.writeChunk = SystemWriteChunk;
    EXPECT_FALSE(PathExists(destination));
    // A read-only file is not overwritten.
    ASSERT_TRUE(WriteFileBytes(destination, "kept"));
    test::SetReadOnly(destination, true);
    EXPECT_EQ(writer.WriteSplit("lvq", "pak", destination), PayloadOutcome::Failed);
    EXPECT_EQ(ReadFileBytes(destination), std::string("kept"));
    EXPECT_EQ(ui.Texts(), std::vector<std::string>(3, "Can't install file " + destination));
}

TEST_F(PayloadWriter, DestinationThatIsAFolderIsReported) {
    TempFolder folder("lvt0.pak");
    const std::string destination = folder.Path();
    test::WriterHarness writer;
    test::ScriptedUserInterface& ui = writer.ui;
    EXPECT_EQ(writer.Write("lvt0", "pak", destination), PayloadOutcome::Failed);
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Can't install file " + destination});
}

// ---------------------------------------------------------------- each kind

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
