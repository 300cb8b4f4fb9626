// A process for the tests that must happen in another process. Every wait
// is for a state, with a limit: a helper whose test is gone or never answers
// ends by itself (the desktop keeper when its session is gone).
//   lvm-test-helper hold FILE LET_GO_EVENT [UNTIL_FILE UNTIL_TEXT]
//     holds FILE open as a scanner or a media tool would (GENERIC_READ,
//     FILE_SHARE_READ only: nobody may write, rename over or delete it) until
//     the named LET_GO_EVENT is set or UNTIL_FILE holds UNTIL_TEXT (a line of
//     a log being written); exits 2 when FILE cannot be opened, 3 at the limit.
//   lvm-test-helper stage TEMPORARY INSIDE_EVENT TEST_PID
//     stages a new file at TEMPORARY as the installer does; inside the second
//     chunk's write it sets INSIDE_EVENT and waits to be ended by force (or
//     for the test process to end); exits 3 at the limit.
//   lvm-test-helper check INSTALLER INSIDE_EVENT TEST_PID
//     checks INSTALLER as the run does, on the check's own thread; before its
//     second chunk it sets INSIDE_EVENT and waits as `stage` does.
//   lvm-test-helper desktop
//     keeps the desktop of a test session up: asks for the desktop window,
//     says "up" on its standard output once it has it, and stays until its
//     standard input is closed (the session that started it has ended).
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "common/scoped_handle.h"
#include "common/text.h"
#include "payload/payload_files.h"
#include "selfcheck/self_check.h"

namespace {

constexpr DWORD kLimitMs = 120000;
constexpr int kAtTheLimit = 3;

bool FileHolds(const std::wstring& path, const std::string& text) {
    const lvm::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) content.append(buffer, read);
    return content.find(text) != std::string::npos;
}

int Hold(const std::vector<std::wstring>& args) {
    const lvm::ScopedHandle held(
        CreateFileW(args[1].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!held) return 2;
    // Tells the test that the file is held now (it never probes the file
    // itself: a probe open for writing would make this open fail).
    const lvm::ScopedHandle holding(OpenEventW(EVENT_MODIFY_STATE, FALSE, (args[2] + L"-holding").c_str()));
    if (holding) SetEvent(holding.get());
    const lvm::ScopedHandle letGo(OpenEventW(SYNCHRONIZE, FALSE, args[2].c_str()));
    if (args.size() == 3) return WaitForSingleObject(letGo.get(), kLimitMs) == WAIT_OBJECT_0 ? 0 : kAtTheLimit;
    // The log grows in another process: looked at again every few
    // milliseconds, until it says the text or the test lets go.
    const std::string text = lvm::Narrow(args[4]);
    const ULONGLONG deadline = GetTickCount64() + kLimitMs;
    while (!FileHolds(args[3], text)) {
        if (WaitForSingleObject(letGo.get(), 5) == WAIT_OBJECT_0) return 0;
        if (GetTickCount64() > deadline) return kAtTheLimit;
    }
    return 0;
}

std::wstring g_insideEvent;
HANDLE g_test = nullptr;
int g_chunks = 0;

bool SignalInsideTheSecondWrite(HANDLE file, const void* bytes, DWORD size) {
    if (++g_chunks == 2) {
        const lvm::ScopedHandle event(OpenEventW(EVENT_MODIFY_STATE, FALSE, g_insideEvent.c_str()));
        DWORD written = 0;
        WriteFile(file, bytes, size / 2, &written, nullptr);  // part of the chunk is on the disk
        SetEvent(event.get());
        // The test ends this process by force now; it returns only when the
        // test itself has ended or never did.
        WaitForSingleObject(g_test, kLimitMs);
        ExitProcess(kAtTheLimit);
    }
    return lvm::SystemWriteChunk(file, bytes, size);
}

int Stage(const std::vector<std::wstring>& args) {
    g_insideEvent = args[2];
    const lvm::ScopedHandle test(OpenProcess(SYNCHRONIZE, FALSE, std::wcstoul(args[3].c_str(), nullptr, 10)));
    g_test = test.get();
    lvm::TStagingSeams calls;
    calls.writeChunk = SignalInsideTheSecondWrite;
    lvm::TStagedFile staged(calls);
    const std::vector<char> data(3 << 20, 'p');  // three chunks
    if (!staged.Create(lvm::Narrow(args[1]))) return 2;
    staged.Write({{data.data(), data.size()}});
    return kAtTheLimit;  // never reached: the process ends inside the write
}

int Check(const std::vector<std::wstring>& args) {
    g_insideEvent = args[2];
    const lvm::ScopedHandle test(OpenProcess(SYNCHRONIZE, FALSE, std::wcstoul(args[3].c_str(), nullptr, 10)));
    g_test = test.get();
    lvm::TBackgroundSelfCheck check(args[1], [] {
        if (++g_chunks != 2) return;
        const lvm::ScopedHandle event(OpenEventW(EVENT_MODIFY_STATE, FALSE, g_insideEvent.c_str()));
        SetEvent(event.get());
        WaitForSingleObject(g_test, kLimitMs);
        ExitProcess(kAtTheLimit);
    });
    check.Verdict();
    return kAtTheLimit;  // never reached: the process ends inside the hash
}

// Wine starts its desktop shell for the first process that needs the desktop
// window, and ends it a second after the last process of the desktop has gone;
// the shell inherits the Unix standard error of the process that started it.
// Started by a test, it would hold that test's output pipe open (CTest waits
// for it after the test has ended) and make the test's own processes wait for
// it. Kept up for the whole session instead, it is started here, once.
int KeepDesktop() {
    if (!GetDesktopWindow()) return 2;
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "up\r\n", 4, &written, nullptr);
    char byte = 0;
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &read, nullptr) && read > 0) {
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == L"hold" && (args.size() == 3 || args.size() == 5)) return Hold(args);
    if (args.size() == 4 && args[0] == L"stage") return Stage(args);
    if (args.size() == 4 && args[0] == L"check") return Check(args);
    if (args.size() == 1 && args[0] == L"desktop") return KeepDesktop();
    return 1;
}
