#include "sysinfo/command_capture.h"

#include <windows.h>

#include <utility>
#include <vector>

#include "common/scoped_handle.h"
#include "common/text.h"
#include "sysinfo/capture_text.h"

namespace lvm {

namespace {

// MAX_PATH characters, the terminator included: a longer interpreter path is
// no path Windows could start.
constexpr DWORD kInterpreterBufferChars = MAX_PATH;

// The interpreter from "ComSpec"; empty when the variable is unset, empty, or
// does not fit the buffer (the call then reports the size it would need, and
// the buffer holds nothing that may be read).
std::wstring InterpreterPath() {
    wchar_t buffer[kInterpreterBufferChars];
    const DWORD length = GetEnvironmentVariableW(L"ComSpec", buffer, kInterpreterBufferChars);
    if (length == 0 || length >= kInterpreterBufferChars) return std::wstring();
    return std::wstring(buffer, length);
}

// An environment variable of any length; empty when unset.
std::wstring EnvironmentValue(const wchar_t* name) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::wstring();
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        // Too small: length is the size needed, terminator included. The value
        // may change between the calls, hence the loop.
        buffer.resize(length);
    }
}

// Deletes the file when the capture leaves, however it leaves.
class TemporaryFile {
public:
    explicit TemporaryFile(std::wstring path) : path_(std::move(path)) {}
    ~TemporaryFile() { DeleteFileW(path_.c_str()); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

// Starts the command line hidden in a console of its own and waits for it.
// A command that cannot start is not an error: the caller reads whatever file
// there is, which then gives an empty line.
void RunHiddenAndWait(const std::wstring& commandLine) {
    // CreateProcessW may write into the command line, so it gets a copy it owns.
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started{};
    constexpr DWORD kCreationFlags = CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP;  // 0x210
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, kCreationFlags, nullptr,
                        nullptr, &startup, &started)) {
        return;
    }
    const ScopedHandle process(started.hProcess);
    const ScopedHandle thread(started.hThread);
    WaitForSingleObject(process.get(), INFINITE);
}

// The whole file as bytes; a file that cannot be opened or read gives what
// was read up to the failure.
std::string ReadFileBytes(const std::wstring& path) {
    std::string bytes;
    const ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) {
        bytes.append(chunk, read);
    }
    return bytes;
}

}  // namespace

std::string RunCommandCapture(const std::string& command) {
    const std::wstring interpreter = InterpreterPath();
    if (interpreter.empty()) return std::string();

    const std::string outputPath =
        CaptureFilePath(Narrow(EnvironmentValue(L"Temp")), RandomCaptureName());
    const TemporaryFile output(Widen(outputPath));

    RunHiddenAndWait(Widen(CaptureCommandLine(Narrow(interpreter), command, outputPath)));
    return OemToAnsiText(CaptureLinesWithCrLf(ReadFileBytes(output.path())));
}

std::string OemToAnsiText(const std::string& text) { return CodePageToUtf8(text, CP_OEMCP); }

}  // namespace lvm
