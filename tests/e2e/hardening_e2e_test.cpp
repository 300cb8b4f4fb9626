// A DLL planted beside the installer is never loaded, and the executable
// imports no DLL that the loader would look for beside it.
#include <cstring>
#include <set>
#include <string>

#include "common/scoped_handle.h"
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
    // And the run itself is unharmed: the file was hashed (by the real bcrypt
    // on a processor without the SHA extensions; with them bcrypt is not loaded).
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(FileExists(PackagePath()));
}

// What the user's environment says reaches an elevated run, and must not be
// trusted: a "ComSpec" with a blank (an unquoted start would run C:\Program.exe)
// and a temporary folder any program of the user can plant links in. Told
// Windows 8 (6.2) and with no product name in the registry, the installer
// must ask the console for the version text (with one, it need not).
class UserEnvironment : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        WriteUninstallString(InstallDir() + L"uninst.exe");
        RegCreateKeyExW(HKEY_CURRENT_USER, kAppDefaults, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &appDefaults_, nullptr);
        ASSERT_NE(appDefaults_, nullptr);
        RegSetValueExW(appDefaults_, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"win8"), 10);
        HideProductName();
        temp_ = WorkDir() + L"\\user-temp";
        CreateDirectoryW(temp_.c_str(), nullptr);
    }
    void TearDown() override {
        if (appDefaults_) RegCloseKey(appDefaults_);
        RegDeleteKeyW(HKEY_CURRENT_USER, kAppDefaults);
        RestoreProductName();
        DeleteFileW(kProbe);
        DeleteFileW(kProbeOptions);
        InstallerTest::TearDown();
    }
    void HideProductName() {
        wchar_t name[256] = {};
        DWORD bytes = sizeof(name);
        if (RegGetValueW(CurrentVersion64().get(), nullptr, L"ProductName", RRF_RT_REG_SZ, nullptr, name, &bytes) ==
            ERROR_SUCCESS) {
            productName_ = name;
            ASSERT_EQ(RegDeleteKeyValueW(CurrentVersion64().get(), nullptr, L"ProductName"), ERROR_SUCCESS);
        }
    }
    void RestoreProductName() {
        if (productName_.empty()) return;
        const auto bytes = static_cast<DWORD>((productName_.size() + 1) * sizeof(wchar_t));
        RegSetValueExW(CurrentVersion64().get(), L"ProductName", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(productName_.c_str()), bytes);
    }
    static ScopedRegKey CurrentVersion64() {
        HKEY key = nullptr;
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersion, 0, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, &key);
        return ScopedRegKey(key);
    }
    static constexpr wchar_t kCurrentVersion[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    static constexpr wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\lvm0-setup.exe";
    static constexpr wchar_t kProbe[] = L"C:\\Program.exe";
    static constexpr wchar_t kProbeOptions[] = L"C:\\Lingvaro.options";
    HKEY appDefaults_ = nullptr;
    std::wstring productName_;
    std::wstring temp_;
};

TEST_F(UserEnvironment, ComSpecAndTempAreNotTrustedAndTheInstallSucceeds) {
    // The probe is the stand-in: started, it logs "started" and ends.
    ASSERT_TRUE(CopyFileW(StandInExe().c_str(), kProbe, FALSE));
    const std::string marker = Narrow(WorkDir()) + "\\probe-ran.log";
    WriteFileBytes(kProbeOptions, [&] {
        const std::string options = "--no-window --lifetime=1 --log=" + marker + "\r\n";
        return std::vector<uint8_t>(options.begin(), options.end());
    }());
    HANDLE watch = FindFirstChangeNotificationW(temp_.c_str(), FALSE,
                                                FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME);
    ASSERT_NE(watch, INVALID_HANDLE_VALUE);

    const driver::RunResult r =
        RunSetup(L"modest", {}, std::wstring(),
                 {{L"ComSpec", L"C:\\Program Files\\Common Tools\\cmd.exe"}, {L"TEMP", temp_}, {L"TMP", temp_}});
    const bool tempChanged = WaitForSingleObject(watch, 0) == WAIT_OBJECT_0;
    FindCloseChangeNotification(watch);

    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(FileExists(PackagePath()));
    EXPECT_FALSE(FileExists(Widen(marker))) << "C:\\Program.exe was started";
    EXPECT_FALSE(tempChanged) << "a file was made in the user's temporary folder";
}

// The loader resolves static imports before any code of the program runs, so
// every import must be one of the system's known DLLs, which are never taken
// from the program's folder. And a run that shows nothing must not pay for the
// window system: user32, gdi32 and shell32 come in at first use, not here.
TEST(ImportTable, NamesOnlyKernelAdvapiAndTheRuntime) {
    HMODULE image = LoadLibraryExW(SetupExe().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(image, nullptr);
    const auto* base = reinterpret_cast<const uint8_t*>(image);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    // The installer beside this test is built for the same architecture as the test.
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    ASSERT_NE(imports.VirtualAddress, 0u);
    std::set<std::string> names;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry) {
        std::string name = reinterpret_cast<const char*>(base + entry->Name);
        for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        names.insert(name);
    }
    FreeLibrary(image);
    EXPECT_EQ(names, (std::set<std::string>{"advapi32.dll", "kernel32.dll", "msvcrt.dll"}));
}

}  // namespace
}  // namespace lvm::e2e
