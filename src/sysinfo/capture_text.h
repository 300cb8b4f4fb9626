// The text side of capturing a console command's output: the interpreter's
// command line, the loop that collects the output within a time limit, and
// the captured lines. No Windows headers here, so these can be built and
// checked on any host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace lvm {

// The interpreter's command line: the interpreter's full path in quotes (so
// that no shorter prefix of it can be taken for the program), /d (no AutoRun
// commands of the registry run with the installer's rights), /c and the command.
std::string CaptureCommandLine(const std::string& interpreter, const std::string& command);

// The captured command as the collecting loop sees it. Tests stand in for it.
struct TCaptureSeams {
    // Appends what the command has written since the last call, without
    // blocking. False once the output is closed (the command has finished).
    std::function<bool(std::string& output)> readAvailable;
    // Waits up to this long for the command (it may end sooner).
    std::function<void(uint32_t milliseconds)> wait;
    // A millisecond clock; only differences are used, so it may wrap.
    std::function<uint32_t()> now;
    // Ends the command.
    std::function<void()> terminate;
};

enum class CaptureEnd { Finished, TimedOut };

// How long a command may take and how much of its output is kept, and how
// often a running command is looked at.
constexpr uint32_t kCaptureLimitMs = 10000;
constexpr size_t kCaptureOutputCap = 64 * 1024;
constexpr uint32_t kCapturePollMs = 10;

// Reads the command's output until it is closed or `limitMs` have passed;
// then the command is ended. Keeps at most `cap` bytes of the output.
CaptureEnd CollectOutput(const TCaptureSeams& source, uint32_t limitMs, size_t cap, std::string& output);

// The output read as a text file, line by line, each line followed by
// CR LF. A line ends at CR LF, at LF or at a lone CR; a last line without an
// end still counts. At least one line is read, so an empty file gives one CR LF.
std::string CaptureLinesWithCrLf(const std::string& fileText);

}  // namespace lvm
