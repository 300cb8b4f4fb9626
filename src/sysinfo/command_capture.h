// Runs one command through the system's command interpreter, hidden, and
// returns what it printed.
#pragma once

#include <cstdint>
#include <string>

namespace lvm {

// Runs "<system folder>\cmd.exe" /d /c command, hidden, with its standard
// output and error in an anonymous pipe (no file anywhere), and returns its
// lines, each followed by CR LF, as UTF-8. At most kCaptureLimitMs (10 s) is
// waited: a command still running then is ended, and the capture counts as
// failed, like a command that cannot start: a single CR LF. So does a command
// that prints nothing. Empty when the system folder is unknown. At most
// kCaptureOutputCap bytes of output are kept.
std::string RunCommandCapture(const std::string& command);
// The same with another time limit.
std::string RunCommandCapture(const std::string& command, uint32_t limitMs);

// Console output (the OEM code page) to the program's text (UTF-8). Plain
// ASCII keeps its length; other characters may take more bytes.
std::string OemToAnsiText(const std::string& text);

}  // namespace lvm
