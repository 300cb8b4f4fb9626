// Runs one command through the Windows command interpreter, hidden, and
// returns what it printed.
#pragma once

#include <string>

namespace lvm {

// Runs "%ComSpec% /c command" with its standard output redirected to a
// temporary file of 8 random letters in the "Temp" folder, waits for it, and
// returns the file's lines, each followed by CR LF, as UTF-8. Empty when
// "ComSpec" is unset (or too long to be a path); a single CR LF when the
// command cannot start or prints nothing. The temporary file never outlives
// the call. Blocks until the command has finished.
std::string RunCommandCapture(const std::string& command);

// Console output (the OEM code page) to the program's text (UTF-8). Plain
// ASCII keeps its length; other characters may take more bytes.
std::string OemToAnsiText(const std::string& text);

}  // namespace lvm
