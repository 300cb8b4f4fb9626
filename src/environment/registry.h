// TRegistry: a registry object with a root key, at most one open key and an
// access mask, over the wide registry API. Errors are raised as TRegistryError.
#pragma once

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "common/scoped_handle.h"

namespace lvm {

constexpr REGSAM kDefaultRegistryAccess = KEY_ALL_ACCESS;                    // 0xF003F
constexpr REGSAM kRegistryAccess64 = KEY_ALL_ACCESS | KEY_WOW64_64KEY;       // 0xF013F

class TRegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TRegistry {
public:
    explicit TRegistry(REGSAM access = kDefaultRegistryAccess);
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    REGSAM Access() const { return access_; }
    // Changing the access closes the open key.
    void SetAccess(REGSAM access) {
        CloseKey();
        access_ = access;
    }
    HKEY RootKey() const { return root_; }
    // Changing the root closes the open key.
    void SetRootKey(HKEY root);

    // A path without a leading backslash counts from the open key when there is
    // one, else from the root. Returns false (no error) when the key cannot be
    // opened or created; on success the key becomes the open key.
    bool OpenKey(const std::string& path, bool canCreate);
    void CloseKey();
    bool HasOpenKey() const { return current_.valid(); }

    // False when no key is open or the value is missing.
    bool ValueExists(const std::string& name) const;
    // REG_SZ or REG_EXPAND_SZ, unexpanded, cut at the first NUL; empty when the
    // value is missing or empty. Another type raises "Invalid data type for '%s'",
    // a failed read "Failed to get data for '%s'".
    std::string ReadString(const std::string& name) const;
    // A REG_DWORD; a failure raises "Failed to set data for '%s'".
    void WriteInteger(const std::string& name, int32_t value);

private:
    REGSAM access_;
    HKEY root_ = HKEY_CURRENT_USER;
    ScopedRegKey current_;
};

// Opens a key of a root hive, counting the path from the root, on a registry
// object of its own with the access of the given one, and closes it however
// the scope is left (errors included). Each scope has its own key, so scopes
// may nest: an inner one never closes the outer one's key.
class TRegistryKeyScope {
public:
    TRegistryKeyScope(const TRegistry& shared, HKEY root, const std::string& path, bool canCreate)
        : registry_(shared.Access()) {
        registry_.SetRootKey(root);
        opened_ = registry_.OpenKey(path, canCreate);
    }
    TRegistryKeyScope(const TRegistryKeyScope&) = delete;
    TRegistryKeyScope& operator=(const TRegistryKeyScope&) = delete;

    bool Opened() const { return opened_; }
    TRegistry& Registry() { return registry_; }
    const TRegistry& Registry() const { return registry_; }

private:
    TRegistry registry_;
    bool opened_ = false;
};

}  // namespace lvm
