#include "common/system_library.h"

#include <string>

#include "common/text.h"

namespace lvm {

namespace {

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

}  // namespace

std::wstring SystemFolderPath(const wchar_t* name) {
    const std::wstring folder = QueryWideString(GetSystemDirectoryW);
    if (folder.empty()) return std::wstring();
    return folder + L"\\" + name;
}

bool RestrictDllSearchToSystemFolder() {
    // Drops the current folder from the search for any load that still
    // searches (the process starts with it after the application folder).
    SetDllDirectoryW(L"");
    // kernel32 is always loaded; the function exists from Windows 8, and on
    // Windows 7 with KB2533623.
    const auto setDefault = LVM_GET_FUNCTION(GetModuleHandleW(L"kernel32.dll"), SetDefaultDllDirectories);
    return setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    // The flag works wherever SetDefaultDllDirectories exists; elsewhere the
    // call fails with ERROR_INVALID_PARAMETER and the full path is used.
    if (const HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
    if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
    const std::wstring path = SystemFolderPath(name);
    if (path.empty()) return nullptr;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace lvm
