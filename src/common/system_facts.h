// Facts about the machine and the user that tests cannot set for real: the
// administrator flag and the user's locale. The run is given Windows' answers;
// tests give it their own.
#pragma once

#include <cstdint>

namespace lvm {

class SystemFacts {
public:
    virtual ~SystemFacts() = default;
    virtual bool IsUserAnAdmin() = 0;
    virtual uint32_t UserDefaultLcid() = 0;
    // The process's window station is one a person sees (WSF_VISIBLE); false
    // for a service's, as SYSTEM in session 0.
    virtual bool WindowStationVisible() = 0;
};

class WindowsSystemFacts final : public SystemFacts {
public:
    bool IsUserAnAdmin() override;
    uint32_t UserDefaultLcid() override;
    bool WindowStationVisible() override;
};

}  // namespace lvm
