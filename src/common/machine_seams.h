// Facts about the machine and the user that tests cannot set for real: the
// administrator flag and the user's locale. The run is given Windows' answers;
// tests give it their own.
#pragma once

#include <cstdint>
#include <functional>

namespace lvm {

struct TMachineSeams {
    std::function<bool()> isUserAnAdmin;
    std::function<uint32_t()> userDefaultLcid;
    // The process's window station is one a person sees (WSF_VISIBLE); false
    // for a service's, as SYSTEM in session 0.
    std::function<bool()> windowStationVisible;
};

TMachineSeams SystemMachineSeams();

}  // namespace lvm
