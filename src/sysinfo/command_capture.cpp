#include "sysinfo/command_capture.h"

#include <windows.h>

#include <utility>
#include <vector>

#include "common/scoped_handle.h"
#include "common/system_library.h"
#include "common/text.h"
#include "sysinfo/capture_text.h"

namespace lvm {

namespace {

// The command interpreter of the system folder. The installer runs with
// administrator rights, and "ComSpec" comes from the user's environment (an
// elevated process inherits HKCU\Environment too), so whatever it names would
// run elevated: it is not read. Empty when the system folder is unknown.
std::wstring SystemInterpreterPath() { return SystemFolderPath(L"cmd.exe"); }

// The read end of the command's standard output and error, and the command.
class PipedCommand {
public:
    PipedCommand(ScopedHandle readEnd, ScopedHandle process)
        : readEnd_(std::move(readEnd)), process_(std::move(process)) {}

    TCaptureSeams Seams() {
        return {[this](std::string& output) { return ReadAvailable(output); },
                [this](uint32_t milliseconds) { WaitForSingleObject(process_.get(), milliseconds); },
                [] { return static_cast<uint32_t>(GetTickCount()); }, [this] { Terminate(); }};
    }

private:
    bool ReadAvailable(std::string& output) {
        for (;;) {
            DWORD available = 0;
            // Fails with ERROR_BROKEN_PIPE once every write end is closed:
            // the command and anything it started have finished writing.
            if (!PeekNamedPipe(readEnd_.get(), nullptr, 0, nullptr, &available, nullptr)) return false;
            if (available == 0) return true;
            char chunk[4096];
            DWORD got = 0;
            const DWORD want = available < sizeof(chunk) ? available : static_cast<DWORD>(sizeof(chunk));
            if (!ReadFile(readEnd_.get(), chunk, want, &got, nullptr)) return false;
            output.append(chunk, got);
        }
    }
    void Terminate() {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 1000);
    }

    ScopedHandle readEnd_;
    ScopedHandle process_;
};

// Starts the interpreter hidden, its standard output and error going into a
// new anonymous pipe; empty handles when it cannot start.
bool StartPiped(const std::wstring& interpreter, const std::wstring& commandLine, ScopedHandle& readEnd,
                ScopedHandle& process) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readHandle = nullptr;
    HANDLE writeHandle = nullptr;
    if (!CreatePipe(&readHandle, &writeHandle, &inheritable, 0)) return false;
    ScopedHandle ownRead(readHandle);
    // Our copy of the write end is closed when this function returns, so the
    // pipe breaks as soon as the command's copies are gone.
    const ScopedHandle writeEnd(writeHandle);
    // Only the write end goes to the command.
    if (!SetHandleInformation(ownRead.get(), HANDLE_FLAG_INHERIT, 0)) return false;

    // CreateProcessW may write into the command line, so it gets a copy it owns.
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    PROCESS_INFORMATION started{};
    constexpr DWORD kCreationFlags = CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP;  // 0x210
    // The application name is given: the program is the system's interpreter
    // and nothing found by walking the words of its path.
    if (!CreateProcessW(interpreter.c_str(), writable.data(), nullptr, nullptr, TRUE, kCreationFlags, nullptr,
                        nullptr, &startup, &started)) {
        return false;
    }
    const ScopedHandle thread(started.hThread);
    process.reset(started.hProcess);
    readEnd = std::move(ownRead);
    return true;
}

}  // namespace

std::string RunCommandCapture(const std::string& command) {
    return RunCommandCapture(command, kCaptureLimitMs);
}

std::string RunCommandCapture(const std::string& command, uint32_t limitMs) {
    const std::wstring interpreter = SystemInterpreterPath();
    if (interpreter.empty()) return std::string();

    ScopedHandle readEnd;
    ScopedHandle process;
    std::string output;
    if (StartPiped(interpreter, Widen(CaptureCommandLine(Narrow(interpreter), command)), readEnd, process)) {
        PipedCommand piped(std::move(readEnd), std::move(process));
        // A command that did not finish in time is a failed capture, as one
        // that could not start: what it printed so far is not used.
        if (CollectOutput(piped.Seams(), limitMs, kCaptureOutputCap, output) == CaptureEnd::TimedOut) output.clear();
    }
    return OemToAnsiText(CaptureLinesWithCrLf(output));
}

std::string OemToAnsiText(const std::string& text) { return CodePageToUtf8(text, CP_OEMCP); }

}  // namespace lvm
