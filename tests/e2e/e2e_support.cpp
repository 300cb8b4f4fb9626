#include "e2e/e2e_support.h"

#include <tlhelp32.h>

#include <sstream>

#include "common/scoped_handle.h"
#include "common/text.h"
#include "support/expected_texts.h"
#include "support/test_files.h"
#include "support/test_paths.h"

namespace lvm::e2e {

namespace {

const wchar_t kRoot[] = L"C:\\lvm-e2e";

HKEY OpenEntry(bool wow6432Node, bool create) {
    HKEY key = nullptr;
    const wchar_t* path = wow6432Node ? kWowUninstallEntry : kUninstallEntry;
    const REGSAM access = KEY_ALL_ACCESS | KEY_WOW64_64KEY;
    if (create) {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, access, nullptr, &key, nullptr);
    } else {
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, access, &key);
    }
    return key;
}

void DeleteEntries() {
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kUninstallEntry, KEY_WOW64_64KEY, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kWowUninstallEntry, KEY_WOW64_64KEY, 0);
}

}  // namespace

std::wstring BinDir() { return test::TestBinDir(); }

std::wstring SetupExe() { return BinDir() + L"lvm0-setup.exe"; }
std::wstring StandInExe() { return BinDir() + L"Lingvaro.exe"; }

// The tests' one set of file helpers, in the wide paths and byte vectors of
// the driver.
std::vector<uint8_t> ReadFileBytes(const std::wstring& path) {
    const std::string bytes = test::ReadFileBytes(Narrow(path)).value_or(std::string());
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    test::WriteFileBytes(Narrow(path), std::string(bytes.begin(), bytes.end()));
}

bool FileExists(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<DWORD> FolderKiB(const std::wstring& folderWithBackslash) {
    return static_cast<DWORD>(TreeBytes(folderWithBackslash.substr(0, folderWithBackslash.size() - 1)) / 1024);
}

uint64_t TreeBytes(const std::wstring& folder) {
    uint64_t total = 0;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) total += TreeBytes(folder + L"\\" + name);
        } else {
            total += (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
        }
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return total;
}

void CloseStandIns() {
    const ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, L"Lingvaro.exe") != 0) continue;
        const ScopedHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (!process) continue;
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 2000);
    }
}

void InstallerTest::WriteStandInOptions(const std::string& options) {
    test::WriteFileBytes(Narrow(installDir_ + L"Lingvaro.options"),
                         options + " --log=" + Narrow(StandInLogPath()) + "\r\n");
}

namespace {

// The stand-in log's lines as (process id, event).
std::vector<std::pair<DWORD, std::string>> StandInLogLines(const std::wstring& path) {
    std::vector<std::pair<DWORD, std::string>> lines;
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    std::istringstream log(std::string(bytes.begin(), bytes.end()));
    for (std::string line; std::getline(log, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t space = line.find(' ');
        if (space == std::string::npos || space == 0) continue;
        lines.emplace_back(static_cast<DWORD>(std::stoul(line.substr(0, space))), line.substr(space + 1));
    }
    return lines;
}

}  // namespace

std::vector<std::string> InstallerTest::StandInEvents(DWORD processId) const {
    std::vector<std::string> events;
    for (const auto& [id, event] : StandInLogLines(StandInLogPath())) {
        if (id == processId) events.push_back(event);
    }
    return events;
}

std::vector<DWORD> InstallerTest::StandInsStarted() const {
    std::vector<DWORD> ids;
    for (const auto& [id, event] : StandInLogLines(StandInLogPath())) {
        if (event.rfind("started ", 0) == 0) ids.push_back(id);
    }
    return ids;
}

void InstallerTest::SetUp() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    CreateDirectoryW(kRoot, nullptr);
    work_.emplace(test::TempFolder::At{Narrow(kRoot) + "\\" + info->test_suite_name() + "." + info->name()});
    workDir_ = Widen(work_->Path());
    installDir_ = workDir_ + L"\\Lingvaro\\";
    CreateDirectoryW(installDir_.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(StandInExe().c_str(), (installDir_ + L"Lingvaro.exe").c_str(), FALSE));
    DeleteEntries();
}

void InstallerTest::TearDown() {
    // A run may have started the application; none may outlive its test.
    CloseStandIns();
    DeleteEntries();
    work_.reset();
}

void InstallerTest::WriteUninstallString(const std::wstring& value, bool wow6432Node) {
    WriteUninstallValue(L"UninstallString", REG_SZ, value.c_str(),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)), wow6432Node);
}

void InstallerTest::WriteUninstallValue(const std::wstring& name, DWORD type, const void* data,
                                        DWORD size, bool wow6432Node) {
    HKEY key = OpenEntry(wow6432Node, true);
    ASSERT_NE(key, nullptr);
    RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

std::optional<DWORD> InstallerTest::EstimatedSize(bool wow6432Node) const {
    HKEY key = OpenEntry(wow6432Node, false);
    if (!key) return std::nullopt;
    DWORD value = 0, size = sizeof(value), type = 0;
    const LONG status = RegQueryValueExW(key, L"EstimatedSize", nullptr, &type,
                                         reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
    return value;
}

void InstallerTest::DeleteUninstallEntries() { DeleteEntries(); }

bool InstallerTest::EntryExists(bool wow6432Node) const {
    HKEY key = OpenEntry(wow6432Node, false);
    if (!key) return false;
    RegCloseKey(key);
    return true;
}

driver::RunOptions InstallerTest::SetupOptions(const std::wstring& arguments, const std::wstring& exe) const {
    driver::RunOptions options;
    options.program = exe.empty() ? SetupExe() : exe;
    options.arguments = arguments;
    options.currentDirectory = workDir_;
    return options;
}

driver::RunResult InstallerTest::RunSetupUnseen(const std::wstring& arguments) {
    driver::RunOptions options = SetupOptions(arguments, std::wstring());
    options.hiddenStation = L"lvm-e2e-unseen-" + std::to_wstring(GetCurrentProcessId());
    // A box there would wait for ever: the limit turns it into a failure.
    options.timeoutMs = 20000;
    driver::RunResult result = driver::RunProgram(options);
    EXPECT_TRUE(result.started) << "no hidden window station";
    EXPECT_FALSE(result.timedOut) << "the run waited for somebody in a window station nobody sees";
    return result;
}

driver::RunResult InstallerTest::RunSetup(const std::wstring& arguments, std::vector<int> answers,
                                          const std::wstring& exe,
                                          std::vector<std::pair<std::wstring, std::wstring>> environment) {
    driver::RunOptions options = SetupOptions(arguments, exe);
    options.answers = std::move(answers);
    options.environment = std::move(environment);
    options.timeoutMs = 90000;
    driver::RunResult result = driver::RunProgram(options);
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut);
    for (const driver::ShownBox& box : result.boxes) {
        EXPECT_TRUE(box.scripted) << "unscripted box: " << driver::ToUtf8(box.text);
    }
    return result;
}

std::wstring InstallerTest::BoxText(const driver::RunResult& r, size_t i) {
    return i < r.boxes.size() ? r.boxes[i].text : L"<no box " + std::to_wstring(i) + L">";
}

std::wstring InstallerTest::BoxCaption(const driver::RunResult& r, size_t i) {
    return i < r.boxes.size() ? r.boxes[i].caption : L"<no box " + std::to_wstring(i) + L">";
}

namespace texts {

std::wstring ConsentEnglish() { return Widen(test::texts::kConsentEn); }
std::wstring ConsentRussian() { return Widen(test::texts::kConsentRu); }
std::wstring StartQuestion() { return Widen(test::texts::kStartQuestion); }

}  // namespace texts

}  // namespace lvm::e2e
