// Redirects HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER of this process into a
// scratch key of this process under the real HKEY_CURRENT_USER, so registry
// tests touch nothing else (also on a real Windows machine, and with other
// test programs running at the same time). The destructor undoes the
// override and deletes the scratch key.
#pragma once

#include <windows.h>

#include <string>

#include "common/scoped_handle.h"

namespace lvm::test {

class RegistryOverride {
public:
    RegistryOverride();
    ~RegistryOverride();
    RegistryOverride(const RegistryOverride&) = delete;
    RegistryOverride& operator=(const RegistryOverride&) = delete;

    // Helpers over the redirected hives (paths relative to HKLM/HKCU).
    static void SetString(HKEY root, const std::string& key, const std::string& name,
                          const std::string& value, DWORD type = REG_SZ);
    static void SetDword(HKEY root, const std::string& key, const std::string& name, DWORD value);
    static bool ReadDword(HKEY root, const std::string& key, const std::string& name, DWORD* value);
    static bool KeyExists(HKEY root, const std::string& key);

private:
    std::wstring scratch_;
    ScopedRegKey machine_;
    ScopedRegKey user_;
};

}  // namespace lvm::test
