// Compiled by the i686 compiler only (tests/tools/check_calling_convention.sh),
// never linked: a function fetched by name keeps the calling convention the
// SDK declares, and the shipped build rejects a pointer type that drops it.
#include <windows.h>

#include "common/system_library.h"

#if defined(LVM_PLANT_MISSING_WINAPI)
// A hand-written type without WINAPI, as a fetched function's type once was.
using GetNativeSystemInfoFunction = void (*)(LPSYSTEM_INFO);
#elif defined(LVM_PLANT_CAST)
using GetNativeSystemInfoFunction = void (*)(LPSYSTEM_INFO);
#else
using GetNativeSystemInfoFunction = void(WINAPI*)(LPSYSTEM_INFO);
#endif

void CallNativeSystemInfo(SYSTEM_INFO& info) {
#if defined(LVM_PLANT_CAST)
    // A direct cast of GetProcAddress's result: -Wcast-function-type.
    const auto getNative = reinterpret_cast<GetNativeSystemInfoFunction>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetNativeSystemInfo"));
#else
    const GetNativeSystemInfoFunction getNative =
        LVM_GET_FUNCTION(GetModuleHandleW(L"kernel32.dll"), GetNativeSystemInfo);
#endif
    if (getNative) getNative(&info);
}
