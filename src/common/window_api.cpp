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
const User32Functions& User32() {
    static const User32Functions functions =
        Load<User32Functions>(L"user32.dll", LVM_RESOLVE_ALL(LVM_USER32_FUNCTIONS));
    return functions;
}

const Gdi32Functions& Gdi32() {
    static const Gdi32Functions functions = Load<Gdi32Functions>(L"gdi32.dll", LVM_RESOLVE_ALL(LVM_GDI32_FUNCTIONS));
    return functions;
}

const Shell32Functions& Shell32() {
    static const Shell32Functions functions =
        Load<Shell32Functions>(L"shell32.dll", LVM_RESOLVE_ALL(LVM_SHELL32_FUNCTIONS));
    return functions;
}

#undef LVM_RESOLVE_ALL
#undef LVM_RESOLVE_FIELD

}  // namespace lvm
