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
    function = GetFunction<Function>(module, name);
    if (!function) EndForMissingFunction();
}

#define LVM_RESOLVE_FIELD(name) Resolve(module, #name, functions.name);

User32Functions LoadUser32() {
    User32Functions functions;
    const HMODULE module = LoadForProcessLifetime(L"user32.dll");
    LVM_USER32_FUNCTIONS(LVM_RESOLVE_FIELD)
    return functions;
}

Gdi32Functions LoadGdi32() {
    Gdi32Functions functions;
    const HMODULE module = LoadForProcessLifetime(L"gdi32.dll");
    LVM_GDI32_FUNCTIONS(LVM_RESOLVE_FIELD)
    return functions;
}

Shell32Functions LoadShell32() {
    Shell32Functions functions;
    const HMODULE module = LoadForProcessLifetime(L"shell32.dll");
    LVM_SHELL32_FUNCTIONS(LVM_RESOLVE_FIELD)
    return functions;
}

#undef LVM_RESOLVE_FIELD

}  // namespace

// Function-local constants: filled once, at the first call, and read-only after.
const User32Functions& User32() {
    static const User32Functions functions = LoadUser32();
    return functions;
}

const Gdi32Functions& Gdi32() {
    static const Gdi32Functions functions = LoadGdi32();
    return functions;
}

const Shell32Functions& Shell32() {
    static const Shell32Functions functions = LoadShell32();
    return functions;
}

}  // namespace lvm
