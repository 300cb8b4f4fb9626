// The text side of the console capture: lines as a text-file reader splits
// them, the interpreter's command line, and the loop that collects the output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sysinfo/capture_text.h"

namespace lvm {
namespace {

TEST(CaptureText, LinesEndInCrLfWhateverEndedThemInTheFile) {
    struct Row {
        std::string file;
        std::string captured;
    };
    const Row rows[] = {
        {"", "\r\n"},  // at least one line
        {"\r\n", "\r\n"},
        {"\n", "\r\n"},
        {"\r", "\r\n"},
        {"ver", "ver\r\n"},  // a last line without an end
        {"ver\r\n", "ver\r\n"},
        {"ver\n", "ver\r\n"},
        {"ver\r", "ver\r\n"},
        {"\r\nMicrosoft Windows [Version 10.0.19045.3803]\r\n",
         "\r\nMicrosoft Windows [Version 10.0.19045.3803]\r\n"},
        {"a\r\n\r\n", "a\r\n\r\n"},
        {"a\n\nb", "a\r\n\r\nb\r\n"},
        {"a\r\rb", "a\r\n\r\nb\r\n"},
        {"a\n\rb", "a\r\n\r\nb\r\n"},  // LF then a lone CR: two line ends
        {"a\r\n\nb", "a\r\n\r\nb\r\n"},
        {std::string("a\0b\r\n", 5), std::string("a\0b\r\n", 5)},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CaptureLinesWithCrLf(row.file), row.captured) << testing::PrintToString(row.file);
    }
}

TEST(CaptureText, CommandLineQuotesTheWholeInterpreterPathAndSkipsAutoRun) {
    EXPECT_EQ(CaptureCommandLine("C:\\Windows\\system32\\cmd.exe", "ver"),
              "\"C:\\Windows\\system32\\cmd.exe\" /d /c ver");
    // A blank in the path cannot make a shorter prefix the program.
    EXPECT_EQ(CaptureCommandLine("C:\\Program Files\\W\\cmd.exe", "ver"),
              "\"C:\\Program Files\\W\\cmd.exe\" /d /c ver");
}

// A command as the collecting loop sees it: output handed out in pieces, a
// clock that moves only when the loop waits.
class ScriptedCommand {
public:
    std::vector<std::string> pieces;  // one piece a read
    bool endsAfterPieces = true;      // false: never closes its output
    uint32_t clock = 0xFFFFFF00u;     // near the wrap: only differences count
    std::vector<uint32_t> waits;
    int terminated = 0;

    TCaptureSeams Seams() {
        return {[this](std::string& output) {
                    if (next_ < pieces.size()) output += pieces[next_++];
                    return next_ < pieces.size() || !endsAfterPieces;
                },
                [this](uint32_t milliseconds) {
                    waits.push_back(milliseconds);
                    clock += milliseconds;
                },
                [this] { return clock; }, [this] { ++terminated; }};
    }

private:
    size_t next_ = 0;
};

TEST(CaptureText, OutputIsCollectedUntilClosedWithinTheLimitAndUpToTheCap) {
    struct Case {
        const char* what;
        std::vector<std::string> pieces;
        bool ends;
        uint32_t limitMs;
        size_t cap;
        CaptureEnd expectedEnd;
        std::string expectedOutput;
        size_t expectedWaits;
    };
    const std::string big(3000, 'x');
    const Case cases[] = {
        {"finishes at once", {"Windows 10\r\n"}, true, 100, 64, CaptureEnd::Finished, "Windows 10\r\n", 0},
        {"finishes after a while", {"", "", "a", "b"}, true, 100, 64, CaptureEnd::Finished, "ab", 3},
        {"never ends: ended at the limit", {"partial"}, false, 100, 64, CaptureEnd::TimedOut, "partial", 10},
        {"limit of one poll", {}, false, 10, 64, CaptureEnd::TimedOut, "", 1},
        // Drained past the cap, so the command is never blocked on a full pipe.
        {"more than the cap", {big, big, big, "tail"}, true, 100, 5000, CaptureEnd::Finished,
         std::string(5000, 'x'), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedCommand command;
        command.pieces = c.pieces;
        command.endsAfterPieces = c.ends;
        std::string output;
        EXPECT_EQ(CollectOutput(command.Seams(), c.limitMs, c.cap, output), c.expectedEnd);
        EXPECT_EQ(output, c.expectedOutput);
        EXPECT_EQ(command.waits.size(), c.expectedWaits);
        for (const uint32_t ms : command.waits) EXPECT_EQ(ms, 10u);
        EXPECT_EQ(command.terminated, c.expectedEnd == CaptureEnd::TimedOut ? 1 : 0);
    }
}

}  // namespace
}  // namespace lvm
