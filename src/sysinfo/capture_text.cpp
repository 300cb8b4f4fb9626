#include "sysinfo/capture_text.h"

#include "common/random.h"

namespace lvm {

std::string RandomCaptureName() {
    std::string name;
    for (size_t i = 0; i < kCaptureNameLength; ++i) {
        name += static_cast<char>('a' + RandomBelow(26));
    }
    return name;
}

std::string CaptureFilePath(const std::string& tempFolder, const std::string& name) {
    std::string path = tempFolder;
    if (!path.empty() && path.back() != '\\') path += '\\';
    return path + name;
}

std::string CaptureCommandLine(const std::string& interpreter, const std::string& command,
                               const std::string& outputPath) {
    return interpreter + " /c " + command + " > \"" + outputPath + "\"";
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
