// Loading DLLs that are not among the system's known DLLs. An elevated
// installer usually starts from a downloads folder that anyone can drop a DLL
// into; such DLLs must come from the system folder only.
#pragma once

#include <windows.h>

#include <string>

namespace lvm {

// Restricts the process's DLL search to the system folder. Call first thing.
// Returns false where the system lacks SetDefaultDllDirectories (Windows 7
// without its update); LoadSystemLibrary then uses full paths.
bool RestrictDllSearchToSystemFolder();

// The path of `name` in the system folder; empty when the folder is unknown.
std::wstring SystemFolderPath(const wchar_t* name);

// Loads `name` (for example L"version.dll") from the system folder only; the
// side-by-side redirection of the manifest still applies where the name is
// used. Null on failure. The caller frees it (ScopedModule).
HMODULE LoadSystemLibrary(const wchar_t* name);

// Looks up a function of a module as a typed pointer; null when absent.
template <typename Function>
Function GetFunction(HMODULE module, const char* name) {
    if (!module) return nullptr;
    FARPROC address = GetProcAddress(module, name);
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

}  // namespace lvm
