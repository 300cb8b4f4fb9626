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

// The type of a function fetched by name is the type of the SDK's own
// declaration, never one written by hand: a hand-written type that lacks
// WINAPI still compiles, works in the x86_64 build (which has one calling
// convention) and corrupts the stack of the shipped i686 one, where the callee
// pops its own arguments. With decltype the i686 compiler rejects a mismatch.
#define LVM_SDK_FUNCTION_TYPE(name) decltype(&::name)

// Looks up the function `name` of a module, typed as the SDK declares it;
// null when the module or the function is absent.
#define LVM_GET_FUNCTION(module, name) \
    ::lvm::GetFunctionAs<LVM_SDK_FUNCTION_TYPE(name)>((module), #name)

// The one cast from GetProcAddress's untyped result. Use it through
// LVM_GET_FUNCTION, or with LVM_SDK_FUNCTION_TYPE where a table names its
// fields' types once (common/window_api.h).
template <typename Function>
Function GetFunctionAs(HMODULE module, const char* name) {
    if (!module) return nullptr;
    FARPROC address = GetProcAddress(module, name);
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

}  // namespace lvm
