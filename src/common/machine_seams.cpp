#include "common/machine_seams.h"

#include <windows.h>

#include <memory>

#include "common/window_api.h"

namespace lvm {

namespace {

// What the shell's IsUserAnAdmin answers, asked of advapi32 directly (the
// shell documents it as this call): shell32 would otherwise be loaded into
// every run for this one question. Under UAC the filtered token carries the
// group for denial only, so a run that is not elevated reads as not an admin.
bool TokenIsInAdministrators() {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
        return false;
    }
    const std::unique_ptr<void, decltype(&FreeSid)> owned(administrators, &FreeSid);
    BOOL member = FALSE;
    return CheckTokenMembership(nullptr, administrators, &member) && member;
}

uint32_t UserDefaultLcid() { return ::GetUserDefaultLCID(); }

bool WindowStationVisible() {
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    // A station that cannot be asked is taken as seen: the run then behaves as
    // it always has.
    if (!User32().GetUserObjectInformationW(User32().GetProcessWindowStation(), UOI_FLAGS, &flags,
                                            sizeof flags, &needed)) {
        return true;
    }
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace

TMachineSeams SystemMachineSeams() { return {TokenIsInAdministrators, UserDefaultLcid, WindowStationVisible}; }

}  // namespace lvm
