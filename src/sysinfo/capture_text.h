// The text side of capturing a console command's output: the temporary file's
// name and path, the interpreter's command line, and the captured lines. No
// Windows headers here, so these can be built and checked on any host.
#pragma once

#include <string>

namespace lvm {

// Length of the temporary file's name: lower-case letters, no extension.
constexpr size_t kCaptureNameLength = 8;

// kCaptureNameLength letters "a" to "z" drawn from the process's generator.
std::string RandomCaptureName();

// The folder (a backslash added when it is not empty and lacks one) and the
// name; an empty folder leaves the file in the current folder.
std::string CaptureFilePath(const std::string& tempFolder, const std::string& name);

// interpreter /c command > "outputPath"
std::string CaptureCommandLine(const std::string& interpreter, const std::string& command,
                               const std::string& outputPath);

// The file's contents read as a text file, line by line, each line followed by
// CR LF. A line ends at CR LF, at LF or at a lone CR; a last line without an
// end still counts. At least one line is read, so an empty file gives one CR LF.
std::string CaptureLinesWithCrLf(const std::string& fileText);

}  // namespace lvm
