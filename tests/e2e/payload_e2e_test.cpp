// Writing the package over an installed one: versions, the older-version
// question, the progress window, and files that cannot be replaced.
#include "common/scoped_handle.h"
#include "common/text.h"
#include "e2e/e2e_support.h"

namespace lvm::e2e {
namespace {

constexpr uint32_t kPackageSize = 11810129;

std::vector<uint8_t> FakePackage(uint16_t version) {
    std::vector<uint8_t> bytes = {'l', 'v', 'm', '0', 0x22, 0x02, static_cast<uint8_t>(version & 0xFF),
                                  static_cast<uint8_t>(version >> 8)};
    bytes.resize(64, 0xAB);
    return bytes;
}

std::wstring OlderQuestionEnglish(const std::wstring& destination) {
    return destination +
           L" file installing is of older version\r\nthan the same already installed.\r\n\r\n"
           L"Do you really want to replace existing\r\nnew file version 216 with an older file version 215?";
}

std::wstring OlderQuestionRussian(const std::wstring& destination) {
    return Widen("Устанавливаемый файл ") + destination +
           Widen("\r\nболее старой версии, чем уже установленный.\r\n\r\n"
                    "Действительно ли Вы хотите заменить уже имеющийся\r\n"
                    "файл версии 216 на более старый версии 215?");
}

class Replace : public InstallerTest {
protected:
    // A question after the older-version question: the progress window is on
    // the screen again, and the question is above it and has the keyboard.
    static void ExpectUncoveredWithTheKeyboard(const driver::RunResult& r, size_t i) {
        ASSERT_LT(i, r.boxes.size());
        EXPECT_TRUE(r.boxes[i].progressVisibleBefore) << "the progress window is shown after the answer";
        EXPECT_EQ(r.boxes[i].coveredBy, L"") << "the question is covered";
        EXPECT_TRUE(r.boxes[i].foreground) << "the question is not the foreground window";
    }
    // No package, or a newer one installed; the application there or not.
    void PrepareSituation(bool newerInstalled, bool withoutApplication) {
        DeleteFileW(PackagePath().c_str());
        if (newerInstalled) WriteFileBytes(PackagePath(), FakePackage(216));
        if (withoutApplication) {
            ASSERT_TRUE(DeleteFileW((InstallDir() + L"Lingvaro.exe").c_str()));
        }
    }
    void SetUp() override {
        InstallerTest::SetUp();
        WriteUninstallString(InstallDir() + L"uninst.exe");
    }
    std::wstring TildePath() const { return InstallDir() + L"~lvm0.pak"; }
    bool HoldsTheNewPackage(const std::wstring& path) const {
        const std::vector<uint8_t> bytes = ReadFileBytes(path);
        return bytes.size() == kPackageSize && bytes[6] == 215 && bytes[7] == 0;
    }
};

// Sets the display's DPI for the processes started from now on where Wine
// reads it first (0: removes it) and returns what was there.
DWORD SetLogPixels(DWORD dpi) {
    const wchar_t* key = L"Control Panel\\Desktop";
    DWORD before = 0, size = sizeof(before);
    RegGetValueW(HKEY_CURRENT_USER, key, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &before, &size);
    dpi ? RegSetKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels", REG_DWORD, &dpi, sizeof(dpi))
        : RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels");
    return before;
}

// The progress window comes up after the question, sized in pixels of the display and centred:
// at 100 % and at 150 % (whole-executable tests hold the prefix-wide lock: none other runs at 144).
TEST_F(Replace, NewerInstalledPackageIsKeptOnNoAndTheProgressWindowShowsAfterTheQuestion) {
    const struct {
        DWORD logPixels;  // 0: as the prefix has it, 96
        LONG width, height;
    } rows[] = {{0, 408, 76}, {144, 612, 114}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.logPixels);
        WriteFileBytes(PackagePath(), FakePackage(216));
        driver::RunOptions options = SetupOptions(L"", std::wstring());
        options.answers = {IDYES, IDNO, IDNO};
        options.timeoutMs = 90000;
        RECT window{};
        options.beforeAnswer = [&](size_t box) {
            if (box == 2) GetWindowRect(FindWindowW(L"PlainWindow", nullptr), &window);
        };
        const DWORD before = row.logPixels ? SetLogPixels(row.logPixels) : 0;
        const driver::RunResult r = driver::RunProgram(options);
        if (row.logPixels) SetLogPixels(before);
        ASSERT_EQ(r.boxes.size(), 3u);
        EXPECT_EQ(BoxText(r, 0), texts::ConsentEnglish());
        EXPECT_EQ(BoxCaption(r, 1), L"Sound question");
        EXPECT_EQ(BoxText(r, 1), OlderQuestionEnglish(PackagePath()));
        EXPECT_TRUE(r.boxes[1].isQuestion);
        EXPECT_FALSE(r.boxes[1].progressVisibleBefore) << "the window is hidden while the question is asked";
        EXPECT_EQ(BoxText(r, 2), texts::StartQuestion());
        ExpectUncoveredWithTheKeyboard(r, 2);
        const LONG left = (GetSystemMetrics(SM_CXSCREEN) - row.width) / 2;
        const LONG top = (GetSystemMetrics(SM_CYSCREEN) - row.height) / 2;
        EXPECT_EQ((std::vector<LONG>{window.left, window.top, window.right, window.bottom}),
                  (std::vector<LONG>{left, top, left + row.width, top + row.height}));
        EXPECT_EQ(ReadFileBytes(PackagePath()), FakePackage(216));
        EXPECT_FALSE(FileExists(TildePath()));
        EXPECT_TRUE(EstimatedSize().has_value());
        EXPECT_EQ(r.exitCode, 1u);
    }
}

TEST_F(Replace, NewerInstalledPackageIsReplacedOnYesAndReturnAnswersTheClosingQuestion) {
    WriteFileBytes(PackagePath(), FakePackage(216));
    WriteStandInOptions("--lifetime=30");
    // The closing question is answered as a person would: Return, which
    // presses Yes when the question has the keyboard, and starts the application.
    const driver::RunResult r = RunSetup(L"", {IDYES, IDYES, driver::kPressReturn});
    ASSERT_EQ(r.boxes.size(), 3u);
    EXPECT_EQ(BoxText(r, 1), OlderQuestionEnglish(PackagePath()));
    EXPECT_EQ(BoxText(r, 2), texts::StartQuestion());
    ExpectUncoveredWithTheKeyboard(r, 2);
    EXPECT_FALSE(r.boxes[2].returnIgnored) << "Return did not reach the closing question";
    EXPECT_EQ(StandInsStarted().size(), 1u) << "Return did not answer Yes";
    EXPECT_TRUE(HoldsTheNewPackage(PackagePath()));
    EXPECT_FALSE(FileExists(TildePath()));
    EXPECT_EQ(r.exitCode, 0u);
}

TEST_F(Replace, ModestModeStillAsksBeforeAnOlderPackageReplacesANewerOne) {
    WriteFileBytes(PackagePath(), FakePackage(216));
    const driver::RunResult r = RunSetup(L"modest", {IDNO});
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(BoxText(r, 0), OlderQuestionEnglish(PackagePath()));
    EXPECT_EQ(ReadFileBytes(PackagePath()), FakePackage(216));
    EXPECT_EQ(r.exitCode, 1u);
}

// Nobody to answer (/quiet, options anywhere after the program): no window
// of any kind, the codes the situations have when a person answers No, and
// every run appends its account to one log, each ending with its exit code.
TEST_F(Replace, QuietRunsShowNothingEndWithTheirCodesAndAppendTheirAccounts) {
    const std::wstring log = WorkDir() + L"\\deploy logs.log";
    struct Row {
        const wchar_t* arguments;
        bool newerInstalled;
        bool withoutApplication;
        DWORD exitCode;
        const char* logged;
    };
    const Row rows[] = {
        {L"modest /quiet", false, false, 0, "EstimatedSize: "},
        {L"/QUIET modest", true, false, 1, "answer: No (the safe answer)"},
        {L"/quiet", false, false, 1602, "no consent: without modest nobody can give it; nothing changed"},
        {L"modest /Quiet", false, true, 1603,
         "message not shown (nobody to answer): There's no subject of update - the Lingvaro installed."},
    };
    size_t accounts = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.arguments));
        ASSERT_NO_FATAL_FAILURE(PrepareSituation(row.newerInstalled, row.withoutApplication));
        const driver::RunResult r = RunSetup(std::wstring(row.arguments) + L" \"/log=" + log + L"\"", {});
        ++accounts;
        EXPECT_TRUE(r.boxes.empty());
        EXPECT_FALSE(r.progressWindowSeen) << "a progress window was shown";
        EXPECT_EQ(r.exitCode, row.exitCode);
        if (row.newerInstalled) {
            EXPECT_EQ(ReadFileBytes(PackagePath()), FakePackage(216));
        }
        if (row.exitCode == 0) {
            EXPECT_EQ(ReadFileBytes(PackagePath()).size(), kPackageSize);
        }
        if (row.exitCode >= 1602) {
            EXPECT_FALSE(FileExists(PackagePath()));
        }

        const std::vector<uint8_t> bytes = ReadFileBytes(log);
        const std::string text(bytes.begin(), bytes.end());
        EXPECT_NE(text.find(row.logged), std::string::npos) << text;
        EXPECT_EQ(text.find("held by another program"), std::string::npos) << "nothing held the package: " << text;
        const std::string last = "exit code " + std::to_string(row.exitCode) + "\r\n";
        ASSERT_GE(text.size(), last.size());
        EXPECT_EQ(text.substr(text.size() - last.size()), last);
        size_t headers = 0;
        for (size_t at = text.find(" lvm0-setup, package lvm0 version 215, command line: "); at != std::string::npos;
             at = text.find(" lvm0-setup, package lvm0 version 215, command line: ", at + 1)) {
            ++headers;
        }
        EXPECT_EQ(headers, accounts) << "a run truncated the log";
    }
}

// The deployer who asks for the application in a session a person sees gets
// it, /quiet or not.
TEST_F(Replace, QuietRunAppStartsTheApplicationWhereItCanBeSeen) {
    WriteStandInOptions("--minimized --lifetime=5");
    const driver::RunResult r = RunSetup(L"modest /quiet runapp", {});
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(StandInsStarted().size(), 1u);
}

// As a deployment tool runs it: SYSTEM in a window station nobody sees. Each
// run ends within seconds with the code of its situation, shows no window
// there, changes nothing where nothing should change, and starts no
// application nobody could use.
TEST_F(Replace, RunsWhereNobodySeesEndWithTheirCodesAndShowNothing) {
    WriteStandInOptions("--no-window --lifetime=1");
    struct Row {
        const wchar_t* arguments;
        bool newerInstalled;
        bool withoutApplication;
        DWORD exitCode;
    };
    const Row rows[] = {
        {L"modest", false, false, 0},
        {L"modest", true, false, 1},
        {L"", false, false, 1602},
        {L"modest runapp", false, false, 0},
        {L"modest", false, true, 1603},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.arguments));
        ASSERT_NO_FATAL_FAILURE(PrepareSituation(row.newerInstalled, row.withoutApplication));
        const driver::RunResult r = RunSetupUnseen(row.arguments);
        EXPECT_EQ(r.exitCode, row.exitCode);
        EXPECT_LT(r.elapsedMs, 15000u);
        EXPECT_EQ(r.windowsOnHiddenDesktop, 0u) << "a window nobody can see";
        if (row.newerInstalled) {
            EXPECT_EQ(ReadFileBytes(PackagePath()), FakePackage(216));
        } else if (row.exitCode == 0) {
            EXPECT_EQ(ReadFileBytes(PackagePath()).size(), kPackageSize);
        } else {
            EXPECT_FALSE(FileExists(PackagePath()));
        }
    }
    EXPECT_TRUE(StandInsStarted().empty()) << "the application was started where nobody sees it";
}

// A log that cannot be made changes nothing about the run.
TEST_F(Replace, LogInAFolderThatDoesNotExistChangesNothing) {
    const std::wstring missing = WorkDir() + L"\\no such folder";
    const driver::RunResult r = RunSetup(L"modest /log=" + missing + L"\\x.log", {});
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(ReadFileBytes(PackagePath()).size(), kPackageSize);
    EXPECT_FALSE(FileExists(missing));
}

TEST_F(Replace, RussianUserGetsTheRussianOlderVersionQuestion) {
    ASSERT_EQ(GetUserDefaultLCID(), 1049u) << "run with a Russian user locale";
    WriteFileBytes(PackagePath(), FakePackage(216));
    const driver::RunResult r = RunSetup(L"modest", {IDNO});
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(BoxCaption(r, 0), Widen("Резонный вопрос"));
    EXPECT_EQ(BoxText(r, 0), OlderQuestionRussian(PackagePath()));
}

TEST_F(Replace, EqualShortAndLeftoverFilesAreReplacedWithoutAQuestion) {
    struct Case {
        const char* what;
        std::vector<uint8_t> installed;
        bool leftoverTilde;
    };
    const std::vector<uint8_t> sevenBytes = {'l', 'v', 'm', '0', 0x22, 0x02, 0xD8};
    const Case cases[] = {
        {"equal version", FakePackage(215), false},
        {"older installed", FakePackage(100), false},
        {"seven bytes: no version", sevenBytes, false},
        {"leftover temporary file", FakePackage(215), true},
    };
    for (const Case& c : cases) {
        WriteFileBytes(PackagePath(), c.installed);
        if (c.leftoverTilde) WriteFileBytes(TildePath(), FakePackage(999));
        const driver::RunResult r = RunSetup(L"modest", {});
        EXPECT_TRUE(r.boxes.empty()) << c.what;
        EXPECT_TRUE(HoldsTheNewPackage(PackagePath())) << c.what;
        EXPECT_FALSE(FileExists(TildePath())) << c.what;
        EXPECT_EQ(r.exitCode, 0u) << c.what;
    }
}

// A package held by another program is asked about (held_package_e2e_test.cpp).
TEST_F(Replace, ReadOnlyPackageIsKeptAndNoSuccessIsAnnounced) {
    WriteFileBytes(PackagePath(), FakePackage(200));
    SetFileAttributesW(PackagePath().c_str(), FILE_ATTRIBUTE_READONLY);
    const driver::RunResult r = RunSetup(L"", {IDYES, IDOK});
    SetFileAttributesW(PackagePath().c_str(), FILE_ATTRIBUTE_NORMAL);

    // Consent, then the failure, and no "... has been installed" question.
    ASSERT_EQ(r.boxes.size(), 2u);
    EXPECT_EQ(BoxCaption(r, 1), L"Lingvaro update");
    EXPECT_EQ(BoxText(r, 1), L"Can't install file " + PackagePath());
    EXPECT_FALSE(r.boxes[1].isQuestion);
    EXPECT_EQ(ReadFileBytes(PackagePath()), FakePackage(200));
    EXPECT_TRUE(HoldsTheNewPackage(TildePath())) << "the new file waits beside the old one";
    EXPECT_TRUE(EstimatedSize().has_value()) << "the size is still recorded";
    EXPECT_EQ(r.exitCode, 1603u);
}

// A hard link planted at the temporary name, leading to a file outside the
// folder, by a user who may write into the folder (Lingvaro in C:\Lingvaro
// inherits that right from C:\): the run removes only that name and writes
// a new file of its own.
TEST_F(Replace, HardLinkAtTheTemporaryNameIsNeverWrittenThrough) {
    const std::wstring outside = WorkDir() + L"\\system.ini";
    const std::vector<uint8_t> outsideBytes = {'[', 'b', 'o', 'o', 't', ']', '\r', '\n'};
    for (const bool olderInstalled : {true, false}) {
        SCOPED_TRACE(olderInstalled ? "older package installed" : "no package installed");
        DeleteFileW(PackagePath().c_str());
        if (olderInstalled) WriteFileBytes(PackagePath(), FakePackage(100));
        WriteFileBytes(outside, outsideBytes);
        ASSERT_TRUE(CreateHardLinkW(TildePath().c_str(), outside.c_str(), nullptr));
        const driver::RunResult r = RunSetup(L"modest", {});
        EXPECT_TRUE(r.boxes.empty());
        EXPECT_EQ(ReadFileBytes(outside), outsideBytes) << "the linked file is unchanged and still there";
        EXPECT_TRUE(HoldsTheNewPackage(PackagePath()));
        EXPECT_FALSE(FileExists(TildePath()));
        EXPECT_EQ(r.exitCode, 0u);
    }
}

// A symbolic link at the temporary name, made by the build on the Linux side
// (build/e2e-links/Planted/~lvm0.pak leads to ../planted-target.ini). Wine 8
// shows such a link to Windows programs as the file it leads to: removing its
// name removes that file, and the name stays taken. On Windows the link goes
// as a link and the run installs. What holds on both, and is checked here:
// nothing is ever written through the link, and the file it leads to never
// becomes the package.
class PlantedSymbolicLink : public Replace {
protected:
    void SetUp() override {
        Replace::SetUp();
        const std::wstring bin = BinDir();
        const std::wstring links = bin.substr(0, bin.find_last_of(L'\\', bin.size() - 2) + 1) + L"e2e-links\\";
        folder_ = links + L"Planted\\";
        target_ = links + L"planted-target.ini";
        ASSERT_TRUE(CopyFileW(StandInExe().c_str(), (folder_ + L"Lingvaro.exe").c_str(), FALSE));
        WriteUninstallString(folder_ + L"uninst.exe");
    }
    void TearDown() override {
        DeleteFileW((folder_ + L"Lingvaro.exe").c_str());
        DeleteFileW((folder_ + L"lvm0.pak").c_str());
        Replace::TearDown();
    }
    std::wstring folder_;
    std::wstring target_;
};

// Whether two paths name one file.
bool IsTheSameFile(const std::wstring& one, const std::wstring& other) {
    BY_HANDLE_FILE_INFORMATION info[2]{};
    const std::wstring* paths[2] = {&one, &other};
    for (int i = 0; i < 2; ++i) {
        const ScopedHandle file(CreateFileW(paths[i]->c_str(), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
        if (!file || !GetFileInformationByHandle(file.get(), &info[i])) return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

TEST_F(PlantedSymbolicLink, NothingIsWrittenThroughIt) {
    const std::vector<uint8_t> targetBytes = {'[', 'd', 'r', 'i', 'v', 'e', 'r', 's', ']', '\r', '\n'};
    const std::wstring package = folder_ + L"lvm0.pak";
    // A second name of the linked file: it shows what the file holds and
    // where it went even after the run moved or removed the first name.
    const std::wstring witness = target_ + L".witness";
    for (const bool olderInstalled : {true, false}) {
        SCOPED_TRACE(olderInstalled ? "older package installed" : "no package installed");
        DeleteFileW(package.c_str());
        if (olderInstalled) WriteFileBytes(package, FakePackage(100));
        DeleteFileW(witness.c_str());
        // Made again where a run before removed it through the link.
        WriteFileBytes(target_, targetBytes);
        ASSERT_TRUE(CreateHardLinkW(witness.c_str(), target_.c_str(), nullptr));
        ASSERT_EQ(ReadFileBytes(folder_ + L"~lvm0.pak"), targetBytes) << "the link leads to the file";

        const driver::RunResult r = RunSetup(L"modest", {IDOK});
        EXPECT_EQ(ReadFileBytes(witness), targetBytes) << "written through the link";
        EXPECT_FALSE(IsTheSameFile(witness, package)) << "the linked file became the package";
        if (r.exitCode == 0) {
            EXPECT_TRUE(HoldsTheNewPackage(package));
            EXPECT_TRUE(r.boxes.empty());
        } else {
            // The name could not be freed: the old state stays, and the run says so.
            EXPECT_EQ(r.exitCode, 1603u);
            EXPECT_EQ(ReadFileBytes(package), olderInstalled ? FakePackage(100) : std::vector<uint8_t>());
            ASSERT_EQ(r.boxes.size(), 1u);
            EXPECT_EQ(BoxText(r, 0), L"Can't install file " + package);
        }
    }
    DeleteFileW(witness.c_str());
}

}  // namespace
}  // namespace lvm::e2e
