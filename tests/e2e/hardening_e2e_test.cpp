// A DLL planted beside the installer is never loaded, and the executable
// imports no DLL that the loader would look for beside it.
#include <cstring>
#include <string>

#include "e2e/e2e_support.h"

namespace lvm::e2e {
namespace {

class PlantedDll : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        WriteUninstallString(InstallDir() + L"uninst.exe");
        downloads_ = WorkDir() + L"\\Downloads\\";
        CreateDirectoryW(downloads_.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW((BinDir() + L"planted\\bcrypt.dll").c_str(), (downloads_ + L"bcrypt.dll").c_str(),
                              FALSE));
        mark_ = WorkDir() + L"\\planted-mark.txt";
        SetEnvironmentVariableW(L"LVM_PLANT_MARK", mark_.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"LVM_PLANT_MARK", nullptr);
        InstallerTest::TearDown();
    }
    std::wstring Place(const std::wstring& exe, const wchar_t* name) {
        const std::wstring placed = downloads_ + name;
        EXPECT_TRUE(CopyFileW(exe.c_str(), placed.c_str(), FALSE));
        return placed;
    }
    bool Marked() const { return FileExists(mark_); }

    std::wstring downloads_;
    std::wstring mark_;
};

TEST_F(PlantedDll, AnUnprotectedProgramLoadsIt) {
    // Shows that the plant works at all: without this the next test proves nothing.
    driver::RunOptions options;
    options.program = Place(BinDir() + L"planted\\lvm-unprotected-probe.exe", L"probe.exe");
    options.currentDirectory = downloads_;
    const driver::RunResult r = driver::RunProgram(options);
    ASSERT_TRUE(r.started);
    EXPECT_TRUE(Marked()) << "the planted bcrypt.dll was not loaded by the unprotected probe";
}

TEST_F(PlantedDll, TheInstallerNeverLoadsIt) {
    const driver::RunResult r = RunSetup(L"modest", {}, Place(SetupExe(), L"lvm0-setup.exe"));
    EXPECT_FALSE(Marked()) << "the installer loaded the planted bcrypt.dll";
    // And the run itself is unharmed: the real bcrypt hashed the file.
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(FileExists(PackagePath()));
}

// The loader resolves static imports before any code of the program runs, so
// every import must be one of the system's known DLLs, which are never taken
// from the program's folder.
TEST(ImportTable, NamesOnlyKnownSystemDlls) {
    const std::vector<uint8_t> file = ReadFileBytes(SetupExe());
    ASSERT_GT(file.size(), 4096u);
    HMODULE image = LoadLibraryExW(SetupExe().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(image, nullptr);
    const auto* base = reinterpret_cast<const uint8_t*>(image);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    // The installer beside this test is built for the same architecture as the test.
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    ASSERT_NE(imports.VirtualAddress, 0u);
    // Known DLLs on every Windows from 7 on.
    const char* known[] = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll",
                           "shell32.dll",  "msvcrt.dll", "ole32.dll", "shlwapi.dll"};
    std::vector<std::string> names;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry) {
        std::string name = reinterpret_cast<const char*>(base + entry->Name);
        for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        names.push_back(name);
        bool isKnown = false;
        for (const char* k : known) isKnown = isKnown || name == k;
        EXPECT_TRUE(isKnown) << name << " is imported but is not a known DLL";
    }
    FreeLibrary(image);
    EXPECT_GE(names.size(), 4u);
}

}  // namespace
}  // namespace lvm::e2e
