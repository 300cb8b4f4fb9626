// The command line: how it is split, its options taken out, and what a run
// makes of it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/ascii.h"
#include "update/command_line.h"

namespace lvm {
namespace {

TEST(CommandLineSplit, SplitsLikeTheRuntime) {
    struct Case {
        const char* line;
        std::vector<std::string> arguments;
    };
    const Case cases[] = {
        {"setup.exe", {"setup.exe"}},
        {"setup.exe modest runapp", {"setup.exe", "modest", "runapp"}},
        {"\"C:\\Program Files\\setup.exe\" MODEST", {"C:\\Program Files\\setup.exe", "MODEST"}},
        {"setup.exe \"two words\" x", {"setup.exe", "two words", "x"}},
        {"setup.exe mo\"de st\"x", {"setup.exe", "mode stx"}},
        {"setup.exe\tmodest\r\nrunapp  ", {"setup.exe", "modest", "runapp"}},
        {"setup.exe \"\" modest", {"setup.exe", "modest"}},
        {"setup.exe \"unterminated quote", {"setup.exe", "unterminated quote"}},
        {"", {}},
        {"   ", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitCommandLine(c.line), c.arguments) << c.line;
    }
}

// Options come anywhere after the program's name, in any letter case, and
// are taken out before the positional arguments are counted.
TEST(CommandLineOptions, TakenOutWhereverTheyStand) {
    struct Row {
        std::vector<std::string> split;
        std::vector<std::string> arguments;
        bool quiet;
        std::string log;
    };
    const Row rows[] = {
        {{"setup.exe", "modest", "runapp"}, {"setup.exe", "modest", "runapp"}, false, ""},
        {{"setup.exe", "modest", "/quiet", "runapp"}, {"setup.exe", "modest", "runapp"}, true, ""},
        {{"setup.exe", "modest", "runapp", "/QUIET"}, {"setup.exe", "modest", "runapp"}, true, ""},
        {{"setup.exe", "modest", "/Log=C:\\Logs\\x y.log", "runapp"},
         {"setup.exe", "modest", "runapp"}, false, "C:\\Logs\\x y.log"},
        {{"setup.exe", "modest", "runapp", "/LOG=C:\\a.log", "/Quiet"},
         {"setup.exe", "modest", "runapp"}, true, "C:\\a.log"},
        // Before the switch too: "/quiet" alone is a run without arguments.
        {{"setup.exe", "/quiet"}, {"setup.exe"}, true, ""},
        {{"setup.exe", "/log=x", "modest"}, {"setup.exe", "modest"}, false, "x"},
        // An unknown option stays an argument.
        {{"setup.exe", "modest", "/quietly"}, {"setup.exe", "modest", "/quietly"}, false, ""},
        {{"setup.exe", "modest", "/log="}, {"setup.exe", "modest"}, false, ""},
        {{"setup.exe"}, {"setup.exe"}, false, ""},
    };
    for (const Row& row : rows) {
        const TCommandLine parsed = ParseCommandLine(row.split);
        SCOPED_TRACE(row.split.size() > 1 ? row.split[1] : "-");
        EXPECT_EQ(parsed.arguments, row.arguments);
        EXPECT_EQ(parsed.quiet, row.quiet);
        EXPECT_EQ(parsed.logPath, row.log);
    }
    const TCommandLine mixed = ParseCommandLine({"setup.exe", "MODEST", "/log=x", "RunApp"});
    EXPECT_EQ(LoweredArgument(mixed, 1), "modest");
    EXPECT_EQ(LoweredArgument(mixed, 2), "runapp");
    EXPECT_EQ(LoweredArgument(mixed, 3), "");
}

// "modest" first, in any letter case, asks nothing; "runapp" second then
// starts the application. Anything else, or either in the other place, does not.
TEST(CommandLineOptions, FirstArgumentMakesARunModestAndTheSecondStartsTheApp) {
    struct Row {
        std::vector<std::string> arguments;
        bool modest;
        bool runApp;
    };
    const Row rows[] = {
        {{"Modest"}, true, false},         {{"modest", "runapp"}, true, true}, {{"MODEST", "RunApp"}, true, true},
        {{"modest", "other"}, true, false}, {{"modest", ""}, true, false},     {{"modest2", "runapp"}, false, true},
        {{"other", "modest"}, false, false}, {{}, false, false},
    };
    for (const Row& row : rows) {
        std::vector<std::string> split{"setup.exe"};
        split.insert(split.end(), row.arguments.begin(), row.arguments.end());
        const TRunOptions options = ResolveRunOptions(ParseCommandLine(split));
        SCOPED_TRACE(row.arguments.empty() ? "-" : row.arguments[0]);
        EXPECT_EQ(options.ModestMode, row.modest);
        EXPECT_EQ(options.RunApp, row.runApp);
    }
}

TEST(CommandLineSplit, LoweringTouchesOnlyAsciiCapitals) {
    EXPECT_EQ(LowerAscii("MODEST"), "modest");
    EXPECT_EQ(LowerAscii("RunApp"), "runapp");
    // Cyrillic capitals and other bytes keep their case.
    EXPECT_EQ(LowerAscii("МODEST-Ä"), "Мodest-Ä");
    EXPECT_EQ(LowerAscii(""), "");
}

}  // namespace
}  // namespace lvm
