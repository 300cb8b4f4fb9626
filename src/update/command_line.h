// The installer's command line: its arguments as the runtime splits them.
#pragma once

#include <string>
#include <vector>

namespace lvm {

// Splits a command line as the runtime does: control characters and blanks
// separate arguments, a stretch between double quotes belongs to one argument
// and the quotes are dropped. The first element is the program itself.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Argument `index` (1 = first after the program) of this process's command
// line, ASCII capitals lowered; empty when there is none.
std::string LoweredArgument(size_t index);

}  // namespace lvm
