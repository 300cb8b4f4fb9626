#include "support/test_paths.h"

#include <windows.h>

#include "common/text.h"

namespace lvm::test {

namespace {

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length < path.size()) return path.substr(0, length);
        path.resize(path.size() * 2);
    }
}

}  // namespace

std::wstring TestBinDir() {
    const std::wstring path = ModulePath();
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::string OwnExecutablePath() { return Narrow(ModulePath()); }

std::wstring BesideTestExecutable(const std::wstring& name) { return TestBinDir() + name; }

ScopedHandle StartProgram(const std::wstring& program, const std::wstring& arguments, DWORD* id) {
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return ScopedHandle();
    }
    CloseHandle(process.hThread);
    if (id) *id = process.dwProcessId;
    return ScopedHandle(process.hProcess);
}

}  // namespace lvm::test
