// Facts about the machine and the user that tests cannot set for real: the
// administrator flag and the user's locale. Production code asks Windows;
// tests install their own answers.
#pragma once

#include <cstdint>

namespace lvm {

class SystemFacts {
public:
    virtual ~SystemFacts() = default;
    virtual bool IsUserAnAdmin() = 0;
    virtual uint32_t UserDefaultLcid() = 0;
};

SystemFacts& CurrentSystemFacts();
// nullptr restores the real system. The caller keeps ownership.
void SetSystemFacts(SystemFacts* facts);

}  // namespace lvm
