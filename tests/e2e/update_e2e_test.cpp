// The run as a user meets it: questions, answers, files and registry.
#include <cstring>

#include "e2e/e2e_support.h"
#include "support/expected_texts.h"

namespace lvm::e2e {
namespace {

constexpr uint32_t kPackageSize = 11810129;

uint16_t HeaderVersion(const std::vector<uint8_t>& file) {
    return file.size() < 8 ? 0 : static_cast<uint16_t>(file[6] | (file[7] << 8));
}

class UpdateRun : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        WriteUninstallString(InstallDir() + L"uninst.exe");
    }

    // A copy of the installer in the work folder, for tampering.
    std::wstring CopyOfSetup(const std::vector<uint8_t>& bytes) {
        const std::wstring path = WorkDir() + L"\\copy-setup.exe";
        WriteFileBytes(path, bytes);
        return path;
    }

    void ExpectNothingWritten() {
        EXPECT_FALSE(FileExists(PackagePath()));
        EXPECT_FALSE(EstimatedSize().has_value());
    }
};

TEST_F(UpdateRun, FreshInstallAsksBothQuestionsAndRecordsTheSize) {
    const driver::RunResult r = RunSetup(L"", {IDYES, IDNO});
    ASSERT_EQ(r.boxes.size(), 2u);
    EXPECT_EQ(BoxCaption(r, 0), L"Sound question");
    EXPECT_EQ(BoxText(r, 0), texts::ConsentEnglish());
    EXPECT_TRUE(r.boxes[0].isQuestion);
    // The closing question is Russian whatever the language, under the English caption.
    EXPECT_EQ(BoxCaption(r, 1), L"Lingvaro update");
    EXPECT_EQ(BoxText(r, 1), texts::StartQuestion());
    EXPECT_EQ(r.exitCode, 0u);

    const std::vector<uint8_t> package = ReadFileBytes(PackagePath());
    EXPECT_EQ(package.size(), kPackageSize);
    EXPECT_EQ(HeaderVersion(package), 215);
    EXPECT_EQ(0, std::memcmp(package.data(), "lvm0", 4));
    EXPECT_FALSE(FileExists(InstallDir() + L"~lvm0.pak"));
    EXPECT_EQ(EstimatedSize(), FolderKiB(InstallDir()));
}

TEST_F(UpdateRun, DecliningConsentWritesNothing) {
    const driver::RunResult r = RunSetup(L"", {IDNO});
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(BoxText(r, 0), texts::ConsentEnglish());
    EXPECT_EQ(r.exitCode, 1602u);
    ExpectNothingWritten();
}

TEST_F(UpdateRun, ModestModeAsksNothingAndInstalls) {
    const driver::RunResult r = RunSetup(L"MoDeSt", {});
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(ReadFileBytes(PackagePath()).size(), kPackageSize);
    EXPECT_TRUE(EstimatedSize().has_value());
}

TEST_F(UpdateRun, ModestAsSecondArgumentDoesNotCount) {
    const driver::RunResult r = RunSetup(L"other modest", {IDNO});
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(BoxText(r, 0), texts::ConsentEnglish());
}

TEST_F(UpdateRun, TamperedAndTruncatedCopiesAreRefused) {
    const std::vector<uint8_t> original = ReadFileBytes(SetupExe());
    ASSERT_GT(original.size(), kPackageSize);
    const std::wstring distorted = Widen(test::texts::kDistortedEn);

    // An unchanged copy passes: the check is about content, not the file name.
    {
        const driver::RunResult r = RunSetup(L"modest", {}, CopyOfSetup(original));
        EXPECT_TRUE(r.boxes.empty());
        EXPECT_EQ(r.exitCode, 0u);
        DeleteFileW(PackagePath().c_str());
        DeleteUninstallEntries();
        WriteUninstallString(InstallDir() + L"uninst.exe");
    }
    // One byte flipped inside the package data, which lies in the middle of the file.
    {
        std::vector<uint8_t> bytes = original;
        bytes[bytes.size() / 2] ^= 0x01;
        const driver::RunResult r = RunSetup(L"modest", {IDOK}, CopyOfSetup(bytes));
        ASSERT_EQ(r.boxes.size(), 1u);
        EXPECT_EQ(BoxCaption(r, 0), L"Lingvaro update");
        EXPECT_EQ(BoxText(r, 0), distorted);
        EXPECT_EQ(r.exitCode, 1603u);
    }
    // One byte short.
    {
        std::vector<uint8_t> bytes = original;
        bytes.pop_back();
        const driver::RunResult r = RunSetup(L"modest", {IDOK}, CopyOfSetup(bytes));
        ASSERT_EQ(r.boxes.size(), 1u);
        EXPECT_EQ(BoxText(r, 0), distorted);
        EXPECT_EQ(r.exitCode, 1603u);
    }
    ExpectNothingWritten();
}

TEST_F(UpdateRun, SignedInstallerStillPassesItsCheckButNotWithAFlippedByte) {
    const std::vector<uint8_t> signedFile = ReadFileBytes(BinDir() + L"lvm0-setup-signed.exe");
    ASSERT_GT(signedFile.size(), ReadFileBytes(SetupExe()).size());
    {
        const driver::RunResult r = RunSetup(L"modest", {}, CopyOfSetup(signedFile));
        EXPECT_TRUE(r.boxes.empty());
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_EQ(ReadFileBytes(PackagePath()).size(), kPackageSize);
        DeleteFileW(PackagePath().c_str());
    }
    std::vector<uint8_t> bytes = signedFile;
    bytes[bytes.size() / 3] ^= 0x80;
    const driver::RunResult r = RunSetup(L"modest", {IDOK}, CopyOfSetup(bytes));
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(BoxText(r, 0), Widen(test::texts::kDistortedEn));
    EXPECT_EQ(r.exitCode, 1603u);
    EXPECT_FALSE(FileExists(PackagePath()));
}

TEST_F(UpdateRun, MissingApplicationStopsBeforeAnyQuestion) {
    const std::wstring app = InstallDir() + L"Lingvaro.exe";
    ASSERT_TRUE(DeleteFileW(app.c_str()));
    const std::wstring message = Widen(test::texts::kNoSubjectEn);
    driver::RunResult r = RunSetup(L"", {IDOK});
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(BoxCaption(r, 0), L"Lingvaro update");
    EXPECT_EQ(BoxText(r, 0), message);
    EXPECT_EQ(r.exitCode, 1603u);

    // A folder of that name is not the application.
    ASSERT_TRUE(CreateDirectoryW(app.c_str(), nullptr));
    r = RunSetup(L"", {IDOK});
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(BoxText(r, 0), message);
    ExpectNothingWritten();
}

TEST_F(UpdateRun, WrongTypedRegistryValueEndsInOneLastResortBox) {
    const DWORD notAString = 7;
    WriteUninstallValue(L"UninstallString", REG_DWORD, &notAString, sizeof(notAString));
    const driver::RunResult r = RunSetup(L"", {IDOK});
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(BoxCaption(r, 0), L"Lingvaro update");
    EXPECT_EQ(BoxText(r, 0), L"Invalid data type for 'UninstallString'");
    EXPECT_EQ(r.exitCode, 1603u);
    ExpectNothingWritten();
}

TEST_F(UpdateRun, RussianUserGetsRussianQuestionsAndMessages) {
    ASSERT_EQ(GetUserDefaultLCID(), 1049u) << "run with a Russian user locale";
    driver::RunResult r = RunSetup(L"", {IDYES, IDNO});
    ASSERT_EQ(r.boxes.size(), 2u);
    EXPECT_EQ(BoxCaption(r, 0), Widen("Резонный вопрос"));
    EXPECT_EQ(BoxText(r, 0), texts::ConsentRussian());
    EXPECT_EQ(BoxCaption(r, 1), L"Lingvaro update");
    EXPECT_EQ(BoxText(r, 1), texts::StartQuestion());
    EXPECT_EQ(ReadFileBytes(PackagePath()).size(), kPackageSize);

    ASSERT_TRUE(DeleteFileW((InstallDir() + L"Lingvaro.exe").c_str()));
    r = RunSetup(L"", {IDOK});
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(BoxCaption(r, 0), Widen("Обновление Lingvaro"));
    EXPECT_EQ(BoxText(r, 0), Widen("Нет предмета обновления - установленной программы Lingvaro.\r\n"
                                      "Пожалуйста, сначала установите программу."));
}

}  // namespace
}  // namespace lvm::e2e
