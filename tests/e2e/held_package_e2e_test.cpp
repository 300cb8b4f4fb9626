// The installed package held by a program that is not Lingvaro (the helper
// opens it as a scanner or a media tool would: GENERIC_READ, FILE_SHARE_READ
// only): a moment's hold is waited out; a lasting one is asked about, or,
// unattended, kept for the next restart (3010), which Wine's restart
// (wineboot -r) then carries out.
#include "common/scoped_handle.h"
#include "common/text.h"
#include "e2e/e2e_support.h"
#include "support/test_paths.h"

namespace lvm::e2e {
namespace {

constexpr uint32_t kPackageSize = 11810129;
const std::vector<uint8_t> kOldPackage = [] {
    std::vector<uint8_t> bytes = {'l', 'v', 'm', '0', 0x22, 0x02, 200, 0};
    bytes.resize(10 << 10, 0xAB);  // large enough to show in the size in KiB
    return bytes;
}();

bool IsTheNewPackage(const std::vector<uint8_t>& bytes) {
    return bytes.size() == kPackageSize && bytes[6] == 215 && bytes[7] == 0;
}

// The helper holding a file until the test lets go or a log holds a line.
class Holder {
public:
    explicit Holder(const std::wstring& file, const std::wstring& untilLogSays = std::wstring(),
                    const std::wstring& log = std::wstring())
        : letGoName_(L"lvm-test-let-go-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++count_)),
          letGo_(CreateEventW(nullptr, TRUE, FALSE, letGoName_.c_str())),
          holdingEvent_(CreateEventW(nullptr, TRUE, FALSE, (letGoName_ + L"-holding").c_str())),
          process_(test::StartProgram(BinDir() + L"lvm-test-helper.exe",
                                      L"hold \"" + file + L"\" " + letGoName_ +
                                          (log.empty() ? L"" : L" \"" + log + L"\" \"" + untilLogSays + L"\""))) {
        // Held once the helper says so; a helper that ended first holds nothing.
        if (process_) {
            const HANDLE states[] = {holdingEvent_.get(), process_.get()};
            holding_ = WaitForMultipleObjects(2, states, FALSE, 30000) == WAIT_OBJECT_0;
        }
    }
    ~Holder() { End(); }
    bool Holding() const { return holding_; }
    // Lets go and waits until the helper has closed the file.
    void End() {
        if (!process_) return;
        SetEvent(letGo_.get());
        EXPECT_EQ(WaitForSingleObject(process_.get(), 30000), WAIT_OBJECT_0) << "the holder did not let go";
        process_.reset();
    }

private:
    static inline int count_ = 0;
    std::wstring letGoName_;
    ScopedHandle letGo_;
    ScopedHandle holdingEvent_;
    ScopedHandle process_;
    bool holding_ = false;
};

class HeldPackage : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        WriteUninstallString(InstallDir() + L"uninst.exe");
        WriteFileBytes(PackagePath(), kOldPackage);
    }
    std::vector<std::wstring> KeptFiles() const {
        std::vector<std::wstring> kept;
        WIN32_FIND_DATAW found{};
        const ScopedFindHandle search(FindFirstFileW((InstallDir() + L"~lvm0.pak.*.restart").c_str(), &found));
        for (bool more = search.valid(); more; more = FindNextFileW(search.get(), &found)) {
            kept.push_back(InstallDir() + found.cFileName);
        }
        return kept;
    }
    // Whether the system is to move `from` over `to` at the next restart:
    // "\??\from" followed by "!\??\to" in PendingFileRenameOperations.
    static bool MoveIsPending(const std::wstring& from, const std::wstring& to) {
        std::vector<wchar_t> value(1 << 16);
        DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        if (RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                         L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, value.data(),
                         &bytes) != ERROR_SUCCESS) {
            return false;
        }
        std::wstring previous;
        for (const wchar_t* at = value.data(); *at; at += wcslen(at) + 1) {
            if (_wcsicmp(previous.c_str(), (L"\\??\\" + from).c_str()) == 0 &&
                _wcsicmp(at, (L"!\\??\\" + to).c_str()) == 0) {
                return true;
            }
            previous = at;
        }
        return false;
    }
    // Kept as 3010 says: the old package whole in place, the new one beside
    // it, its move registered.
    void ExpectKeptForTheRestart() {
        EXPECT_EQ(ReadFileBytes(PackagePath()), kOldPackage) << "the installed package was touched";
        EXPECT_FALSE(FileExists(InstallDir() + L"~lvm0.pak"));
        const std::vector<std::wstring> kept = KeptFiles();
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_TRUE(IsTheNewPackage(ReadFileBytes(kept[0])));
        EXPECT_TRUE(MoveIsPending(kept[0], PackagePath())) << "no move registered for the restart";
    }
    driver::RunResult Run(const std::wstring& arguments, std::vector<int> answers,
                          std::function<void(size_t)> beforeAnswer = nullptr) {
        driver::RunOptions options = SetupOptions(arguments, std::wstring());
        options.answers = std::move(answers);
        options.beforeAnswer = std::move(beforeAnswer);
        const driver::RunResult result = driver::RunProgram(options);
        EXPECT_FALSE(result.timedOut);
        return result;
    }
    std::string Log() const {
        const std::vector<uint8_t> bytes = ReadFileBytes(WorkDir() + L"\\setup.log");
        return std::string(bytes.begin(), bytes.end());
    }
    std::wstring LogOption() const { return L" \"/log=" + WorkDir() + L"\\setup.log\""; }
};

TEST_F(HeldPackage, HeldForAMomentIsWaitedOutAndInstalled) {
    // Let go as soon as the run has found the package held and says it tries again.
    Holder holder(PackagePath(), PackagePath() + L" is held by another program; trying again for up to 3000 ms",
                  WorkDir() + L"\\setup.log");
    ASSERT_TRUE(holder.Holding());
    const driver::RunResult r = Run(L"modest" + LogOption(), {});
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(IsTheNewPackage(ReadFileBytes(PackagePath())));
    EXPECT_NE(Log().find(Narrow(PackagePath()) + " was held by another program; free after "), std::string::npos)
        << Log();
}

TEST_F(HeldPackage, HeldForTheWholeQuietRunIsReplacedAtTheRestart) {
    Holder holder(PackagePath());
    ASSERT_TRUE(holder.Holding());
    const driver::RunResult r = Run(L"/quiet modest runapp" + LogOption(), {});
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exitCode, 3010u);
    ASSERT_NO_FATAL_FAILURE(ExpectKeptForTheRestart());
    // The size as it will be after the restart: the old package no longer counts.
    EXPECT_EQ(EstimatedSize(), std::optional<DWORD>((TreeBytes(InstallDir()) - kOldPackage.size()) >> 10));
    EXPECT_TRUE(StandInsStarted().empty()) << "started although nothing is in place yet";
    EXPECT_NE(Log().find("held by: another program"), std::string::npos) << Log();

    holder.End();
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const ScopedHandle restart = test::StartProgram(std::wstring(system) + L"\\wineboot.exe", L"-r");
    ASSERT_TRUE(restart);
    ASSERT_EQ(WaitForSingleObject(restart.get(), 120000), WAIT_OBJECT_0);
    EXPECT_TRUE(IsTheNewPackage(ReadFileBytes(PackagePath()))) << "the restart did not replace the package";
    EXPECT_TRUE(KeptFiles().empty());
    EXPECT_FALSE(FileExists(InstallDir() + L"~lvm0.pak"));
}

// Interactive: one question with Try Again, Continue and Cancel.
TEST_F(HeldPackage, InteractiveRunAsksAndEachAnswerDoesWhatItSays) {
    const std::wstring question = L"The file " + PackagePath() +
                                  L"\r\nis in use by another program.\r\n\r\n"
                                  L"Try Again: install it now, once the program is closed.\r\n"
                                  L"Continue: install it when the computer restarts.\r\n"
                                  L"Cancel: keep the installed file as it is.";
    for (const int answer : {IDCANCEL, IDTRYAGAIN, IDCONTINUE}) {
        SCOPED_TRACE(answer);
        WriteFileBytes(PackagePath(), kOldPackage);
        Holder holder(PackagePath());
        ASSERT_TRUE(holder.Holding());
        // Try Again after the holder has ended, then No to the closing question.
        const driver::RunResult r = Run(L"", {IDYES, answer, IDNO}, [&](size_t box) {
            if (box == 1 && answer == IDTRYAGAIN) holder.End();
        });
        ASSERT_EQ(r.boxes.size(), answer == IDTRYAGAIN ? 3u : 2u);
        EXPECT_EQ(BoxText(r, 0), texts::ConsentEnglish());
        EXPECT_EQ(BoxCaption(r, 1), L"Sound question");
        EXPECT_EQ(BoxText(r, 1), question);
        EXPECT_EQ(r.boxes[1].buttons, (std::vector<int>{IDCANCEL, IDTRYAGAIN, IDCONTINUE}));
        EXPECT_FALSE(FileExists(InstallDir() + L"~lvm0.pak"));
        if (answer == IDCANCEL) {
            EXPECT_EQ(r.exitCode, 1602u);
            EXPECT_EQ(ReadFileBytes(PackagePath()), kOldPackage);
            EXPECT_TRUE(KeptFiles().empty());
            EXPECT_FALSE(EstimatedSize().has_value()) << "a cancelled run changed the entry";
        } else if (answer == IDTRYAGAIN) {
            EXPECT_EQ(r.exitCode, 0u);
            EXPECT_EQ(BoxText(r, 2), texts::StartQuestion());
            EXPECT_TRUE(IsTheNewPackage(ReadFileBytes(PackagePath())));
        } else {
            EXPECT_EQ(r.exitCode, 3010u);
            ASSERT_NO_FATAL_FAILURE(ExpectKeptForTheRestart());
            // A later run with the package free installs it now and takes
            // away the kept file, so that the restart has nothing to move.
            holder.End();
            EXPECT_EQ(Run(L"modest", {}).exitCode, 0u);
            EXPECT_TRUE(IsTheNewPackage(ReadFileBytes(PackagePath())));
            EXPECT_TRUE(KeptFiles().empty());
        }
    }
}

}  // namespace
}  // namespace lvm::e2e
