// Finding the installation in the layouts installers leave behind, and
// recording its size.
#include "e2e/e2e_support.h"

namespace lvm::e2e {
namespace {

constexpr wchar_t kCurrentVersion[] = L"Software\\Microsoft\\Windows\\CurrentVersion";

uint32_t KiB(const std::wstring& folderWithBackslash) {
    return static_cast<uint32_t>(TreeBytes(folderWithBackslash.substr(0, folderWithBackslash.size() - 1)) / 1024);
}

class Discovery : public InstallerTest {};

TEST_F(Discovery, EntryOnlyInThe32BitViewIsFoundAndReceivesTheSize) {
    WriteUninstallString(InstallDir() + L"uninst.exe", /*wow6432Node=*/true);
    const driver::RunResult r = RunSetup(L"modest", {});
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(FileExists(PackagePath()));
    EXPECT_EQ(EstimatedSize(/*wow6432Node=*/true), std::optional<DWORD>(KiB(InstallDir())));
    EXPECT_FALSE(EntryExists(/*wow6432Node=*/false)) << "no half-empty entry in the other view";
}

TEST_F(Discovery, QuotedUninstallStringWithArgumentsNamesTheFolder) {
    WriteUninstallString(L"\"" + InstallDir() + L"uninst.exe\" /S /lang=ru");
    const driver::RunResult r = RunSetup(L"modest", {});
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(FileExists(PackagePath()));
    EXPECT_EQ(EstimatedSize(), std::optional<DWORD>(KiB(InstallDir())));
}

// No uninstall entry at all: the default folder under "ProgramFilesDir".
class DefaultFolder : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        saved_ = ReadProgramFilesDir();
        ASSERT_TRUE(saved_.has_value()) << "the prefix has a ProgramFilesDir";
    }
    void TearDown() override {
        if (saved_) WriteProgramFilesDir(*saved_);
        InstallerTest::TearDown();
    }
    static std::optional<std::wstring> ReadProgramFilesDir() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersion, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) !=
            ERROR_SUCCESS) {
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
    static void WriteProgramFilesDir(const std::wstring& value) {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersion, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key),
                  ERROR_SUCCESS);
        RegSetValueExW(key, L"ProgramFilesDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    std::optional<std::wstring> saved_;
};

TEST_F(DefaultFolder, WithAndWithoutATrailingBackslash) {
    // InstallDir() is <work>\Lingvaro\, so the program-files folder is <work>.
    for (const std::wstring& programFiles : {WorkDir(), WorkDir() + L"\\"}) {
        WriteProgramFilesDir(programFiles);
        const driver::RunResult r = RunSetup(L"modest", {});
        EXPECT_TRUE(r.boxes.empty());
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_TRUE(FileExists(PackagePath()));
        // The plain entry is created, holding only the size.
        EXPECT_EQ(EstimatedSize(), std::optional<DWORD>(KiB(InstallDir())));
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
    EXPECT_EQ(EstimatedSize(), std::optional<DWORD>(KiB(linkedDir_)));
}

}  // namespace
}  // namespace lvm::e2e
