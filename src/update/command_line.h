// The installer's command line: its arguments as the runtime splits them.
#pragma once

#include <string>
#include <vector>

namespace lvm {

// Splits a command line as the runtime does: control characters and blanks
// separate arguments, a stretch between double quotes belongs to one argument
// and the quotes are dropped. The first element is the program itself.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// The installer's arguments with its options taken out. Options may come
// anywhere after the program's name, their names in any letter case:
//   /quiet        nobody is there to answer: show no window
//   /log=<file>   append an account of the run to <file> (the rest of the
//                 argument, quoted as any argument with blanks)
// They are taken out before the positional arguments are counted, so
// "modest /log=x runapp" is "modest runapp".
struct TCommandLine {
    std::vector<std::string> arguments;  // the program first, then the positional arguments
    bool quiet = false;
    std::string logPath;  // empty: no log
};

TCommandLine ParseCommandLine(const std::vector<std::string>& split);

// Positional argument `index` (1 = first after the program), ASCII capitals
// lowered; empty when there is none.
std::string LoweredArgument(const TCommandLine& commandLine, size_t index);

// What the command line asks of a run, resolved once at the entry and
// read-only in the run.
struct TRunOptions {
    // The first argument with its ASCII capitals lowered; empty without one.
    std::string StartSwitch;
    // StartSwitch is "modest": no question is asked.
    bool ModestMode = false;
    // The second argument is "runapp" (any letter case): a modest run starts the application.
    bool RunApp = false;
    bool Quiet = false;
    std::string LogPath;  // empty: no log
    std::string Text;     // the command line as given, for the log
};

TRunOptions ResolveRunOptions(const TCommandLine& commandLine);
// The options of this process's command line.
TRunOptions ProcessRunOptions();

}  // namespace lvm
