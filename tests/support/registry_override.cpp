#include "support/registry_override.h"

#include <stdexcept>

#include "common/text.h"

namespace lvm::test {

namespace {

const wchar_t kScratchParent[] = L"Software\\LvmSetupTests";

HKEY CreateKey(HKEY parent, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        throw std::runtime_error("cannot create scratch key");
    }
    return key;
}

}  // namespace

RegistryOverride::RegistryOverride()
    : scratch_(std::wstring(kScratchParent) + L"\\" + std::to_wstring(GetCurrentProcessId())) {
    // A key of this process only: test programs that run at the same time
    // never touch each other's. What a crashed run of the same id left goes first.
    RegDeleteTreeW(HKEY_CURRENT_USER, scratch_.c_str());
    machine_.reset(CreateKey(HKEY_CURRENT_USER, scratch_ + L"\\HKLM"));
    user_.reset(CreateKey(HKEY_CURRENT_USER, scratch_ + L"\\HKCU"));
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_.get());
    RegOverridePredefKey(HKEY_CURRENT_USER, user_.get());
}

RegistryOverride::~RegistryOverride() {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    machine_.reset();
    user_.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, scratch_.c_str());
}

void RegistryOverride::SetString(HKEY root, const std::string& key, const std::string& name,
                                 const std::string& value, DWORD type) {
    const ScopedRegKey k(CreateKey(root, Widen(key)));
    const std::wstring wide = Widen(value);
    RegSetValueExW(k.get(), Widen(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(wide.c_str()),
                   static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

void RegistryOverride::SetDword(HKEY root, const std::string& key, const std::string& name,
                                DWORD value) {
    const ScopedRegKey k(CreateKey(root, Widen(key)));
    RegSetValueExW(k.get(), Widen(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof(value));
}

bool RegistryOverride::ReadDword(HKEY root, const std::string& key, const std::string& name,
                                 DWORD* value) {
    DWORD size = sizeof(*value);
    DWORD type = 0;
    return RegGetValueW(root, Widen(key).c_str(), Widen(name).c_str(), RRF_RT_ANY, &type, value,
                        &size) == ERROR_SUCCESS &&
           type == REG_DWORD;
}

bool RegistryOverride::KeyExists(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root, Widen(key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

}  // namespace lvm::test
