// The installer of a second package description (tests/packages/lvm7.ini):
// another kind ("cok", its version at offset 5), another version (7) and a
// title of its own. Whatever does not depend on the package is tested on the
// default one.
#include "common/text.h"
#include "e2e/e2e_support.h"

namespace lvm::e2e {
namespace {

constexpr uint32_t kStandInSize = 65536;
constexpr char kFullTitle[] = "\"Карточки слов к оценке 7\" версии 7";

class OtherPackage : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        WriteUninstallString(InstallDir() + L"uninst.exe");
    }
    static std::wstring OtherSetup() { return BinDir() + L"lvm7-setup.exe"; }
    std::wstring CokPath() const { return InstallDir() + L"lvm7.cok"; }
    // An installed file of the kind, with these bytes from offset 5 on.
    static std::vector<uint8_t> Installed(const std::vector<uint8_t>& fromOffset5) {
        std::vector<uint8_t> bytes(32, 0xCD);
        for (size_t i = 0; i < fromOffset5.size(); ++i) bytes[5 + i] = fromOffset5[i];
        return bytes;
    }
};

TEST_F(OtherPackage, FreshInstallShowsItsOwnTitleAndWritesItsOwnFile) {
    const driver::RunResult r = RunSetup(L"", {IDYES, IDNO}, OtherSetup());
    ASSERT_EQ(r.boxes.size(), 2u);
    EXPECT_EQ(BoxText(r, 0), Widen(std::string("Would you like to setup\r\nLingvaro update -\r\n") + kFullTitle + "?"));
    EXPECT_EQ(BoxText(r, 1), Widen(std::string("На Ваш компьютер установлено\r\nОбновление Lingvaro -\r\n") +
                                   kFullTitle + "\r\n\r\nЗапустить программу?"));
    EXPECT_EQ(r.exitCode, 0u);

    const std::vector<uint8_t> package = ReadFileBytes(CokPath());
    ASSERT_EQ(package.size(), kStandInSize);
    EXPECT_EQ(package[5] | (package[6] << 8), 7);
    EXPECT_FALSE(FileExists(InstallDir() + L"lvm0.pak"));
    EXPECT_FALSE(FileExists(InstallDir() + L"~lvm7.cok"));
    EXPECT_EQ(EstimatedSize(), FolderKiB(InstallDir()));
}

// Bytes 5-6 decide; a pak's field (bytes 6-7) would say the opposite.
TEST_F(OtherPackage, OlderVersionQuestionFollowsTheCokFieldAtOffsetFive) {
    struct Row {
        const char* situation;
        std::vector<uint8_t> fromOffset5;
        bool asked;
    };
    const Row rows[] = {
        {"version 8 installed (bytes 6-7 read 0)", {8, 0, 0}, true},
        {"version 6 installed (bytes 6-7 read 0xFF00)", {6, 0, 0xFF}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.situation);
        const std::vector<uint8_t> installed = Installed(row.fromOffset5);
        WriteFileBytes(CokPath(), installed);
        const driver::RunResult r = RunSetup(L"modest", {IDNO}, OtherSetup());
        if (row.asked) {
            ASSERT_EQ(r.boxes.size(), 1u);
            EXPECT_EQ(BoxText(r, 0), CokPath() +
                                         L" file installing is of older version\r\nthan the same already installed."
                                         L"\r\n\r\nDo you really want to replace existing\r\nnew file version 8 "
                                         L"with an older file version 7?");
            EXPECT_EQ(ReadFileBytes(CokPath()), installed);
        } else {
            EXPECT_TRUE(r.boxes.empty());
            EXPECT_EQ(ReadFileBytes(CokPath()).size(), kStandInSize);
        }
        EXPECT_FALSE(FileExists(InstallDir() + L"~lvm7.cok"));
    }
}

}  // namespace
}  // namespace lvm::e2e
