// Whole-executable tests: each test gets its own installation folder under
// C:\lvm-e2e and its own uninstall entry in the prefix's registry (64-bit
// view, where a 64-bit Windows keeps it), runs the real lvm0-setup.exe
// through the message-box driver and checks files, registry and the texts shown.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "box_driver.h"
#include "common/text.h"
#include "support/test_files.h"

namespace lvm::e2e {

// The folder of the test executable, where the build puts every executable.
std::wstring BinDir();
std::wstring SetupExe();
std::wstring StandInExe();

std::vector<uint8_t> ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::wstring& path);
uint64_t TreeBytes(const std::wstring& folder);  // all files below, recursively
// What "EstimatedSize" should say for a folder (with its trailing backslash):
// its files' bytes in whole KiB.
std::optional<DWORD> FolderKiB(const std::wstring& folderWithBackslash);
// Ends every running Lingvaro.exe (stand-ins started by a test or by a run).
void CloseStandIns();

constexpr wchar_t kUninstallEntry[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lingvaro";
constexpr wchar_t kWowUninstallEntry[] =
    L"Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lingvaro";

class InstallerTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The folder (with a trailing backslash) that holds the stand-in as Lingvaro.exe.
    const std::wstring& InstallDir() const { return installDir_; }
    std::wstring PackagePath() const { return installDir_ + L"lvm0.pak"; }
    // A scratch folder of the test, outside the installation.
    const std::wstring& WorkDir() const { return workDir_; }

    // Writes "UninstallString" into the entry (plain or WOW6432Node path, 64-bit view).
    void WriteUninstallString(const std::wstring& value, bool wow6432Node = false);
    void WriteUninstallValue(const std::wstring& name, DWORD type, const void* data, DWORD size,
                             bool wow6432Node = false);
    std::optional<DWORD> EstimatedSize(bool wow6432Node = false) const;
    // Removes both uninstall entries.
    static void DeleteUninstallEntries();
    bool EntryExists(bool wow6432Node = false) const;

    driver::RunResult RunSetup(const std::wstring& arguments, std::vector<int> answers,
                               const std::wstring& exe = std::wstring(),
                               std::vector<std::pair<std::wstring, std::wstring>> environment = {});
    // The installer in a new window station that nobody sees, as a deployment
    // tool starts it as SYSTEM: nothing there can be answered.
    driver::RunResult RunSetupUnseen(const std::wstring& arguments);
    // The installer (or the given copy) with these arguments, in the work folder.
    driver::RunOptions SetupOptions(const std::wstring& arguments, const std::wstring& exe) const;

    // Options for every stand-in started from the installation folder (the
    // installer starts it with no parameters, and through the desktop shell
    // with no environment of ours); it logs to StandInLogPath().
    void WriteStandInOptions(const std::string& options);
    std::wstring StandInLogPath() const { return workDir_ + L"\\standin.log"; }
    // The log's lines that the process `processId` wrote, without the id.
    std::vector<std::string> StandInEvents(DWORD processId) const;
    // Process ids in the order of their "started" lines.
    std::vector<DWORD> StandInsStarted() const;

    static std::wstring BoxText(const driver::RunResult& r, size_t i);
    static std::wstring BoxCaption(const driver::RunResult& r, size_t i);

private:
    std::optional<test::TempFolder> work_;
    std::wstring workDir_;
    std::wstring installDir_;
};

// The texts of a run, as the tests expect them (UTF-8 in, UTF-16 out).
namespace texts {
std::wstring ConsentEnglish();
std::wstring ConsentRussian();
std::wstring StartQuestion();
}  // namespace texts

}  // namespace lvm::e2e
