#include "common/window_api.h"

#include "common/system_library.h"

namespace lvm {

namespace {

[[noreturn]] void EndForMissingFunction() { ExitProcess(ERROR_INSTALL_FAILURE); }

HMODULE LoadForProcessLifetime(const wchar_t* name) {
    // Never freed: the functions stay reachable until the process ends.
    const HMODULE module = LoadSystemLibrary(name);
    if (!module) EndForMissingFunction();
    return module;
}

template <typename Function>
void Resolve(HMODULE module, const char* name, Function& function) {
    function = GetFunctionAs<Function>(module, name);
    if (!function) EndForMissingFunction();
}

// One table: its DLL loaded, every function of it resolved.
template <typename Functions, typename ResolveAll>
Functions Load(const wchar_t* dll, ResolveAll resolveAll) {
    Functions functions;
    resolveAll(LoadForProcessLifetime(dll), functions);
    return functions;
}

}  // namespace

// A lambda that resolves every function of a table's list.
#define LVM_RESOLVE_FIELD(name) Resolve(module, #name, functions.name);
#define LVM_RESOLVE_ALL(list) [](HMODULE module, auto& functions) { list(LVM_RESOLVE_FIELD) }

// Function-local constants: filled once, at the first call, and read-only after.
const TUser32Functions& User32() {
    static const TUser32Functions functions =
        Load<TUser32Functions>(L"user32.dll", LVM_RESOLVE_ALL(LVM_USER32_FUNCTIONS));
    return functions;
}

const TGdi32Functions& Gdi32() {
    static const TGdi32Functions functions = Load<TGdi32Functions>(L"gdi32.dll", LVM_RESOLVE_ALL(LVM_GDI32_FUNCTIONS));
    return functions;
}

const TShell32Functions& Shell32() {
    static const TShell32Functions functions =
        Load<TShell32Functions>(L"shell32.dll", LVM_RESOLVE_ALL(LVM_SHELL32_FUNCTIONS));
    return functions;
}

#undef LVM_RESOLVE_ALL
#undef LVM_RESOLVE_FIELD

}  // namespace lvm
