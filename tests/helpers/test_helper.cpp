// A process for the tests that must happen in another process:
//   lvm-test-helper hold FILE [UNTIL_FILE UNTIL_TEXT]
//     holds FILE open as a scanner or a media tool would (GENERIC_READ,
//     FILE_SHARE_READ only: nobody may write, rename over or delete it) until
//     UNTIL_FILE holds UNTIL_TEXT (a line of a log being written), or until
//     it is ended; exits 2 when FILE cannot be opened.
//   lvm-test-helper stage TEMPORARY EVENT
//     stages a new file at TEMPORARY as the installer does, and inside the
//     second chunk's write signals the named EVENT and waits to be ended.
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "common/scoped_handle.h"
#include "common/text.h"
#include "payload/payload_files.h"

namespace {

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

int Hold(const std::wstring& file, const std::wstring& untilFile, const std::wstring& untilText) {
    const lvm::ScopedHandle held(
        CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!held) return 2;
    if (untilFile.empty()) Sleep(INFINITE);
    const std::string text = lvm::Narrow(untilText);
    while (!FileHolds(untilFile, text)) Sleep(5);
    return 0;
}

std::wstring g_event;
int g_chunks = 0;

bool SignalInsideTheSecondWrite(HANDLE file, const void* bytes, DWORD size) {
    if (++g_chunks == 2) {
        const lvm::ScopedHandle event(OpenEventW(EVENT_MODIFY_STATE, FALSE, g_event.c_str()));
        DWORD written = 0;
        WriteFile(file, bytes, size / 2, &written, nullptr);  // part of the chunk is on the disk
        SetEvent(event.get());
        Sleep(INFINITE);
    }
    return lvm::SystemWriteChunk(file, bytes, size);
}

int Stage(const std::wstring& temporary, const std::wstring& event) {
    g_event = event;
    lvm::StagingCalls calls;
    calls.writeChunk = SignalInsideTheSecondWrite;
    lvm::StagedFile staged(calls);
    const std::vector<char> data(3 << 20, 'p');  // three chunks
    if (!staged.Create(lvm::Narrow(temporary))) return 3;
    staged.Write({{data.data(), data.size()}});
    return 4;  // never reached: the test ends the process inside the write
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == L"hold") return Hold(args[1], L"", L"");
    if (args.size() == 4 && args[0] == L"hold") return Hold(args[1], args[2], args[3]);
    if (args.size() == 3 && args[0] == L"stage") return Stage(args[1], args[2]);
    return 1;
}
