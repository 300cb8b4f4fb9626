#include "sysinfo/capture_text.h"


namespace lvm {

std::string CaptureCommandLine(const std::string& interpreter, const std::string& command) {
    return "\"" + interpreter + "\" /d /c " + command;
}

CaptureEnd CollectOutput(const TCaptureSeams& source, uint32_t limitMs, size_t cap, std::string& output) {
    const uint32_t start = source.now();
    for (;;) {
        const bool open = source.readAvailable(output);
        // Read on past the cap and drop it: a child blocked on a full pipe
        // would otherwise never end.
        if (output.size() > cap) output.resize(cap);
        if (!open) return CaptureEnd::Finished;
        if (source.now() - start >= limitMs) {
            source.terminate();
            return CaptureEnd::TimedOut;
        }
        source.wait(kCapturePollMs);
    }
}

std::string CaptureLinesWithCrLf(const std::string& fileText) {
    std::string result;
    size_t at = 0;
    const size_t end = fileText.size();
    // A do-while: the empty file still yields its one empty line.
    do {
        size_t lineEnd = at;
        while (lineEnd < end && fileText[lineEnd] != '\r' && fileText[lineEnd] != '\n') ++lineEnd;
        result.append(fileText, at, lineEnd - at);
        result += "\r\n";
        at = lineEnd;
        if (at < end) {
            const char terminator = fileText[at++];
            if (terminator == '\r' && at < end && fileText[at] == '\n') ++at;
        }
    } while (at < end);
    return result;
}

}  // namespace lvm
