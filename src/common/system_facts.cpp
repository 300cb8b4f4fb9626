#include "common/system_facts.h"

#include <windows.h>
#include <shlobj.h>

namespace lvm {

namespace {

class RealSystemFacts final : public SystemFacts {
public:
    bool IsUserAnAdmin() override { return (::IsUserAnAdmin() & 0xFF) != 0; }
    uint32_t UserDefaultLcid() override { return ::GetUserDefaultLCID(); }
};

RealSystemFacts g_real;
SystemFacts* g_current = &g_real;

}  // namespace

SystemFacts& CurrentSystemFacts() { return *g_current; }

void SetSystemFacts(SystemFacts* facts) { g_current = facts ? facts : &g_real; }

}  // namespace lvm
