// The console capture on the running system: the real interpreter, the real
// temporary folder (a scratch one), and what is left behind (nothing).
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/text.h"
#include "support/temp_folder.h"
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

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        lines.push_back(text.substr(at, end - at));
    }
    return lines;
}

bool IsCaptureName(const std::string& line) {
    if (line.size() != 8) return false;
    for (const char c : line) {
        if (c < 'a' || c > 'z') return false;
    }
    return true;
}

// The capture names in a "dir /b" listing: the listing is made while the
// output file it is written to already exists.
std::vector<std::string> CaptureNamesListed(const std::string& captured) {
    std::vector<std::string> names;
    for (const std::string& line : SplitCrLf(captured)) {
        if (IsCaptureName(line)) names.push_back(line);
    }
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
    std::string MakeFolderCommand() const { return "mkdir \"" + scratch_.PathOf("ran") + "\""; }

    test::TempFolder scratch_;
    ScopedEnvironmentVariable temp_{L"Temp"};
    ScopedEnvironmentVariable comSpec_{L"ComSpec"};
};

TEST_F(CommandCapture, VerGivesItsVersionLineWithCrLfAndLeavesNoFile) {
    const std::string captured = RunCommandCapture("ver");
    ExpectCrLfLines(captured);
    EXPECT_NE(captured.find("Windows"), std::string::npos) << captured;
    EXPECT_TRUE(NamesIn(scratch_.Path()).empty());
}

TEST_F(CommandCapture, TempWithAndWithoutTrailingBackslash) {
    for (const std::string& temp : {scratch_.Path(), scratch_.Path() + "\\"}) {
        temp_.Set(temp);
        const std::string captured = RunCommandCapture(ListScratchCommand());
        EXPECT_EQ(CaptureNamesListed(captured).size(), 1u) << temp << ": " << captured;
        EXPECT_TRUE(NamesIn(scratch_.Path()).empty()) << temp;
    }
}

TEST_F(CommandCapture, EachCaptureDrawsANewNameAndRemovesItsFile) {
    const std::vector<std::string> first =
        CaptureNamesListed(RunCommandCapture(ListScratchCommand()));
    EXPECT_TRUE(NamesIn(scratch_.Path()).empty());
    const std::vector<std::string> second =
        CaptureNamesListed(RunCommandCapture(ListScratchCommand()));
    EXPECT_TRUE(NamesIn(scratch_.Path()).empty());
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_NE(first[0], second[0]);
}

TEST_F(CommandCapture, UnsetTempPutsTheFileInTheCurrentFolder) {
    const ScopedCurrentFolder inScratch(scratch_.Path());
    temp_.Unset();
    const std::string captured = RunCommandCapture("dir /b");
    EXPECT_EQ(CaptureNamesListed(captured).size(), 1u) << captured;
    EXPECT_TRUE(NamesIn(scratch_.Path()).empty());
}

TEST_F(CommandCapture, CommandThatPrintsNothingGivesOneCrLf) {
    EXPECT_EQ(RunCommandCapture("type nul"), "\r\n");
    EXPECT_TRUE(NamesIn(scratch_.Path()).empty());
}

TEST_F(CommandCapture, UnsetComSpecGivesNothingAndRunsNothing) {
    comSpec_.Unset();
    EXPECT_EQ(RunCommandCapture(MakeFolderCommand()), "");
    EXPECT_TRUE(NamesIn(scratch_.Path()).empty());
}

TEST_F(CommandCapture, InterpreterThatCannotStartGivesOneCrLf) {
    comSpec_.Set(scratch_.PathOf("missing.exe"));
    EXPECT_EQ(RunCommandCapture(MakeFolderCommand()), "\r\n");
    EXPECT_TRUE(NamesIn(scratch_.Path()).empty());
}

// 259 characters fit the interpreter buffer with its terminator; 260 and more
// count as unset and are never read.
TEST_F(CommandCapture, ComSpecOf260CharactersOrMoreCountsAsUnset) {
    const std::string folder = scratch_.Path() + "\\";
    const auto ofLength = [&](size_t length) {
        return folder + std::string(length - folder.size(), 'x');
    };

    comSpec_.Set(ofLength(259));
    EXPECT_EQ(RunCommandCapture("ver"), "\r\n");  // tried: there is no such program
    for (const size_t length : {260u, 261u, 1000u}) {
        comSpec_.Set(ofLength(length));
        EXPECT_EQ(RunCommandCapture(MakeFolderCommand()), "") << length;
    }
    EXPECT_TRUE(NamesIn(scratch_.Path()).empty());
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
