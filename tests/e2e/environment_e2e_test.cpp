// Finding the installation in the layouts installers leave behind, and
// recording its size.
#include "e2e/e2e_support.h"
#include "support/expected_texts.h"

namespace lvm::e2e {
namespace {

constexpr wchar_t kCurrentVersion[] = L"Software\\Microsoft\\Windows\\CurrentVersion";

class Discovery : public InstallerTest {};

TEST_F(Discovery, EntryOnlyInThe32BitViewIsFoundAndReceivesTheSize) {
    WriteUninstallString(InstallDir() + L"uninst.exe", /*wow6432Node=*/true);
    const driver::RunResult r = RunSetup(L"modest", {});
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(FileExists(PackagePath()));
    EXPECT_EQ(EstimatedSize(/*wow6432Node=*/true), FolderKiB(InstallDir()));
    EXPECT_FALSE(EntryExists(/*wow6432Node=*/false)) << "no half-empty entry in the other view";
}

TEST_F(Discovery, QuotedUninstallStringWithArgumentsNamesTheFolder) {
    WriteUninstallString(L"\"" + InstallDir() + L"uninst.exe\" /S /lang=ru");
    const driver::RunResult r = RunSetup(L"modest", {});
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(FileExists(PackagePath()));
    EXPECT_EQ(EstimatedSize(), FolderKiB(InstallDir()));
}

TEST_F(Discovery, UnquotedUninstallStringWithABackslashArgumentNamesTheProgramsFolder) {
    // As an installer that forgets the quotes writes it: the program's own
    // path has blanks, and an argument has backslashes of its own.
    const std::wstring folder = WorkDir() + L"\\Program Files (x86)\\Lingvaro\\";
    CreateDirectoryW((WorkDir() + L"\\Program Files (x86)").c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(StandInExe().c_str(), (folder + L"Lingvaro.exe").c_str(), FALSE));
    WriteFileBytes(folder + L"uninst.exe", {'M', 'Z'});
    WriteUninstallString(folder + L"uninst.exe /log=" + WorkDir() + L"\\logs\\u.log");
    const driver::RunResult r = RunSetup(L"modest", {});
    EXPECT_TRUE(r.boxes.empty()) << driver::ToUtf8(BoxText(r, 0));
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(FileExists(folder + L"lvm0.pak"));
    EXPECT_EQ(EstimatedSize(), FolderKiB(folder));
}

// A 64-bit copy removed badly left its plain entry; the copy that is
// installed is the 32-bit one, where such a machine has it. The folders are
// the real ones, made for the test and removed after it.
class StaleEntry : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        CreateDirectoryW(kInstalled32, nullptr);
        ASSERT_TRUE(CopyFileW(StandInExe().c_str(), (std::wstring(kInstalled32) + L"Lingvaro.exe").c_str(), FALSE));
    }
    void TearDown() override {
        for (const wchar_t* name : {L"Lingvaro.exe", L"lvm0.pak", L"uninst.exe"}) {
            DeleteFileW((std::wstring(kInstalled32) + name).c_str());
        }
        RemoveDirectoryW(kInstalled32);
        InstallerTest::TearDown();
    }
    static constexpr wchar_t kInstalled32[] = L"C:\\Program Files (x86)\\Lingvaro\\";
};

TEST_F(StaleEntry, APlainEntryWithoutTheApplicationGivesWayToThe32BitOne) {
    WriteUninstallString(L"C:\\Program Files\\Lingvaro\\uninst.exe");
    WriteUninstallString(std::wstring(kInstalled32) + L"uninst.exe", /*wow6432Node=*/true);
    const std::wstring log = WorkDir() + L"\\setup.log";
    const driver::RunResult r = RunSetup(L"modest \"/log=" + log + L"\"", {});
    EXPECT_TRUE(r.boxes.empty()) << driver::ToUtf8(BoxText(r, 0));
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(FileExists(std::wstring(kInstalled32) + L"lvm0.pak"));
    EXPECT_EQ(EstimatedSize(/*wow6432Node=*/true), FolderKiB(kInstalled32));
    EXPECT_EQ(EstimatedSize(/*wow6432Node=*/false), std::nullopt) << "written into the stale entry";
    const std::vector<uint8_t> bytes = ReadFileBytes(log);
    EXPECT_NE(std::string(bytes.begin(), bytes.end())
                  .find("the plain entry names C:\\Program Files\\Lingvaro\\ which holds no Lingvaro.exe; taking "
                        "the 32-bit entry Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                        "Lingvaro, whose folder C:\\Program Files (x86)\\Lingvaro\\ holds it\r\n"),
              std::string::npos);
}

// No uninstall entry at all: the default folder under "ProgramFilesDir", in
// both registry views; the test puts back what it found, whatever happens.
class DefaultFolder : public InstallerTest {
protected:
    static constexpr REGSAM kViews[2] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

    void SetUp() override {
        InstallerTest::SetUp();
        for (int i = 0; i < 2; ++i) saved_[i] = ReadProgramFilesDir(kViews[i]);
        ASSERT_TRUE(saved_[0].has_value()) << "the prefix has a ProgramFilesDir";
    }
    void TearDown() override {
        for (int i = 0; i < 2; ++i) {
            if (saved_[i]) WriteProgramFilesDir(*saved_[i], kViews[i]);
        }
        InstallerTest::TearDown();
    }
    static std::optional<std::wstring> ReadProgramFilesDir(REGSAM view = KEY_WOW64_64KEY) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersion, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        wchar_t value[1024] = {};
        DWORD size = sizeof(value) - sizeof(wchar_t);
        DWORD type = 0;
        const LONG status =
            RegQueryValueExW(key, L"ProgramFilesDir", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
        return std::wstring(value);
    }
    static void WriteProgramFilesDir(const std::wstring& value, REGSAM view = KEY_WOW64_64KEY) {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersion, 0, KEY_SET_VALUE | view, &key), ERROR_SUCCESS);
        RegSetValueExW(key, L"ProgramFilesDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    static void DeleteProgramFilesDir(REGSAM view) {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersion, 0, KEY_SET_VALUE | view, &key), ERROR_SUCCESS);
        RegDeleteValueW(key, L"ProgramFilesDir");
        RegCloseKey(key);
    }
    std::optional<std::wstring> saved_[2];
};

// Without "ProgramFilesDir" the default folder is the relative "Lingvaro\",
// and the run starts in WorkDir(), which holds Lingvaro\Lingvaro.exe: an
// elevated run must not take the folder it was started from for the installation.
TEST_F(DefaultFolder, MissingProgramFilesDirIsNoInstallationEvenBesideTheInstaller) {
    for (const REGSAM view : kViews) DeleteProgramFilesDir(view);
    const driver::RunResult r = RunSetup(L"modest", {IDOK});
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(BoxText(r, 0), Widen(test::texts::kNoSubjectEn));
    EXPECT_EQ(r.exitCode, 1603u);
    EXPECT_FALSE(FileExists(PackagePath())) << "written beside the installer";
    EXPECT_FALSE(EntryExists());
}

TEST_F(DefaultFolder, WithAndWithoutATrailingBackslash) {
    // InstallDir() is <work>\Lingvaro\, so the program-files folder is <work>.
    for (const std::wstring& programFiles : {WorkDir(), WorkDir() + L"\\"}) {
        WriteProgramFilesDir(programFiles);
        const driver::RunResult r = RunSetup(L"modest", {});
        EXPECT_TRUE(r.boxes.empty());
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_TRUE(FileExists(PackagePath()));
        // The plain entry is created, holding only the size.
        EXPECT_EQ(EstimatedSize(), FolderKiB(InstallDir()));
        EXPECT_FALSE(EntryExists(/*wow6432Node=*/true));
        DeleteFileW(PackagePath().c_str());
        DeleteUninstallEntries();
    }
}

// A tree with folder links, one of them leading back into the tree: the run
// must end, and the size must count what is really in the folder.
class LinkedTree : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        // BinDir() is <build>\bin\; the build made the tree beside it.
        const std::wstring bin = BinDir();
        const std::wstring build = bin.substr(0, bin.find_last_of(L'\\', bin.size() - 2) + 1);
        linkedDir_ = build + L"e2e-links\\Lingvaro\\";
        ASSERT_NE(GetFileAttributesW((linkedDir_ + L"Data\\up-two").c_str()), INVALID_FILE_ATTRIBUTES);
        ASSERT_TRUE(CopyFileW(StandInExe().c_str(), (linkedDir_ + L"Lingvaro.exe").c_str(), FALSE));
    }
    void TearDown() override {
        DeleteFileW((linkedDir_ + L"Lingvaro.exe").c_str());
        DeleteFileW((linkedDir_ + L"lvm0.pak").c_str());
        InstallerTest::TearDown();
    }
    std::wstring linkedDir_;
};

TEST_F(LinkedTree, LoopOfLinksNeitherHangsTheRunNorCountsTwice) {
    const DWORD attributes = GetFileAttributesW((linkedDir_ + L"Data\\Deeper\\back-to-data").c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_REPARSE_POINT) << "the link is seen as a reparse point";

    WriteUninstallString(linkedDir_ + L"uninst.exe");
    const driver::RunResult r = RunSetup(L"modest", {});
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(FileExists(linkedDir_ + L"lvm0.pak"));
    EXPECT_EQ(EstimatedSize(), FolderKiB(linkedDir_));
}

}  // namespace
}  // namespace lvm::e2e
