// The console capture on the running system: the system's interpreter, a
// scratch temporary folder, and what is left behind (nothing).
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/text.h"
#include "support/test_files.h"
#include "sysinfo/command_capture.h"

namespace lvm {
namespace {

// Sets an environment variable of this process and puts the old value back.
class ScopedEnvironmentVariable {
public:
    explicit ScopedEnvironmentVariable(const wchar_t* name) : name_(name) {
        const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
        if (size > 0) {
            std::vector<wchar_t> buffer(size);
            const DWORD length = GetEnvironmentVariableW(name, buffer.data(), size);
            saved_ = std::wstring(buffer.data(), length);
        }
    }
    ~ScopedEnvironmentVariable() {
        SetEnvironmentVariableW(name_.c_str(), saved_ ? saved_->c_str() : nullptr);
    }
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

    void Set(const std::string& value) const {
        SetEnvironmentVariableW(name_.c_str(), Widen(value).c_str());
    }
    void Unset() const { SetEnvironmentVariableW(name_.c_str(), nullptr); }

private:
    std::wstring name_;
    std::optional<std::wstring> saved_;
};

class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const std::string& folder) {
        wchar_t buffer[MAX_PATH];
        const DWORD length = GetCurrentDirectoryW(MAX_PATH, buffer);
        saved_.assign(buffer, length < MAX_PATH ? length : 0);
        SetCurrentDirectoryW(Widen(folder).c_str());
    }
    ~ScopedCurrentFolder() { SetCurrentDirectoryW(saved_.c_str()); }
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

private:
    std::wstring saved_;
};

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW(Widen(folder + "\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.push_back(Narrow(name));
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return names;
}

// Every line break is CR LF: no lone CR, no lone LF, and the text ends in one.
void ExpectCrLfLines(const std::string& text) {
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << i;
        }
        if (text[i] == '\n') {
            EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << i;
        }
    }
}

class CommandCapture : public testing::Test {
protected:
    CommandCapture() { temp_.Set(scratch_.Path()); }

    std::string ListScratchCommand() const { return "dir /b \"" + scratch_.Path() + "\""; }

    test::TempFolder scratch_;
    ScopedEnvironmentVariable temp_{L"Temp"};
    ScopedEnvironmentVariable comSpec_{L"ComSpec"};
};

TEST_F(CommandCapture, VerGivesItsVersionLineWithCrLf) {
    const std::string captured = RunCommandCapture("ver");
    ExpectCrLfLines(captured);
    EXPECT_NE(captured.find("Windows"), std::string::npos) << captured;
}

// The output travels through a pipe: while the command runs, neither the
// temporary folder nor the current folder holds a file of the capture.
TEST_F(CommandCapture, NoFileIsMadeAnywhere) {
    const ScopedCurrentFolder inScratch(scratch_.Path());
    const std::string captured = RunCommandCapture(ListScratchCommand());
    EXPECT_EQ(captured, "\r\n") << "the command saw a file in the folder: " << captured;
    EXPECT_TRUE(NamesIn(scratch_.Path()).empty());
}

TEST_F(CommandCapture, CommandThatPrintsNothingGivesOneCrLf) {
    EXPECT_EQ(RunCommandCapture("type nul"), "\r\n");
}

TEST_F(CommandCapture, StandardErrorIsCapturedToo) {
    EXPECT_NE(RunCommandCapture("echo to-error 1>&2").find("to-error"), std::string::npos);
}

// "ComSpec" is the user's to set; the elevated installer never runs what it names.
TEST_F(CommandCapture, ComSpecIsNotReadWhateverItHolds) {
    const std::string planted = scratch_.PathOf("planted.exe");
    for (const std::string& value : {std::string(), planted, std::string(1000, 'x'),
                                     std::string("C:\\Program Files\\Common Tools\\cmd.exe")}) {
        if (value.empty()) {
            comSpec_.Unset();
        } else {
            comSpec_.Set(value);
        }
        const std::string captured = RunCommandCapture("ver");
        EXPECT_NE(captured.find("Windows"), std::string::npos) << value << ": " << captured;
    }
}

TEST_F(CommandCapture, CommandThatNeverEndsIsEndedAtTheLimitAndCountsAsFailed) {
    const DWORD start = GetTickCount();
    // Prints a line, then loops for ever.
    EXPECT_EQ(RunCommandCapture("echo started & for /l %i in (0,0,1) do @rem", 300), "\r\n");
    EXPECT_LT(GetTickCount() - start, 5000u);
}

TEST(CaptureOemText, ConvertsFromTheConsoleCodePage) {
    EXPECT_EQ(OemToAnsiText(""), "");
    EXPECT_EQ(OemToAnsiText("Microsoft Windows [Version 6.1.7601]\r\n"),
              "Microsoft Windows [Version 6.1.7601]\r\n");
    switch (GetOEMCP()) {
        case 437:
            EXPECT_EQ(OemToAnsiText("\x8E\x81"), "\xC3\x84\xC3\xBC");  // Ä ü
            break;
        case 866:
            EXPECT_EQ(OemToAnsiText("\x80\xAF"), "\xD0\x90\xD0\xBF");  // А п
            break;
        default:
            GTEST_SKIP() << "no sample for OEM code page " << GetOEMCP();
    }
}

}  // namespace
}  // namespace lvm
