#include "common/system_library.h"

#include <string>

namespace lvm {

namespace {

// Set once the default search is the system folder alone.
bool g_searchRestricted = false;

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

std::wstring SystemFolderPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    return std::wstring(folder, length) + L"\\" + name;
}

}  // namespace

bool RestrictDllSearchToSystemFolder() {
    // Drops the current folder from the search for any load that still
    // searches (the process starts with it after the application folder).
    SetDllDirectoryW(L"");
    // kernel32 is always loaded; the function exists from Windows 8, and on
    // Windows 7 with KB2533623.
    const auto setDefault = GetFunction<SetDefaultDllDirectoriesFunction>(
        GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    g_searchRestricted = setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return g_searchRestricted;
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    if (g_searchRestricted) return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    const std::wstring path = SystemFolderPath(name);
    if (path.empty()) return nullptr;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace lvm
