#include "environment/registry.h"

#include <vector>

#include "common/text.h"

namespace lvm {

namespace {

std::string Quoted(const char* format, const std::string& name) {
    std::string message(format);
    const size_t at = message.find("%s");
    if (at != std::string::npos) message.replace(at, 2, name);
    return message;
}

}  // namespace

TRegistry::TRegistry(REGSAM access) : access_(access) {}

TRegistry::~TRegistry() = default;

void TRegistry::SetRootKey(HKEY root) {
    if (root != root_) {
        CloseKey();
        root_ = root;
    }
}

bool TRegistry::OpenKey(const std::string& path, bool canCreate) {
    // A leading backslash makes the path absolute (from the root).
    std::string relative = path;
    const bool absolute = !relative.empty() && relative[0] == '\\';
    if (absolute) relative.erase(0, 1);
    const HKEY base = (!absolute && current_.valid()) ? current_.get() : root_;
    const std::wstring widePath = Widen(relative);

    HKEY opened = nullptr;
    LONG status;
    if (canCreate) {
        status = RegCreateKeyExW(base, widePath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 access_, nullptr, &opened, nullptr);
    } else {
        status = RegOpenKeyExW(base, widePath.c_str(), 0, access_, &opened);
    }
    if (status != ERROR_SUCCESS) return false;
    current_.reset(opened);
    return true;
}

void TRegistry::CloseKey() { current_.reset(); }

bool TRegistry::ValueExists(const std::string& name) const {
    if (!current_.valid()) return false;
    const std::wstring wideName = Widen(name);
    return RegQueryValueExW(current_.get(), wideName.c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

std::string TRegistry::ReadString(const std::string& name) const {
    if (!current_.valid()) return std::string();
    const std::wstring wideName = Widen(name);
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG status = RegQueryValueExW(current_.get(), wideName.c_str(), nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) return std::string();
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) {
        throw TRegistryError(Quoted("Failed to get data for '%s'", name));
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        throw TRegistryError(Quoted("Invalid data type for '%s'", name));
    }
    // The value may grow between the two calls; read until it fits.
    std::vector<wchar_t> buffer;
    for (;;) {
        if (size == 0) return std::string();
        buffer.assign(size / sizeof(wchar_t) + 1, L'\0');
        DWORD bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
        status = RegQueryValueExW(current_.get(), wideName.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(buffer.data()), &bytes);
        if (status == ERROR_MORE_DATA) {
            size = bytes + sizeof(wchar_t);
            continue;
        }
        if (status != ERROR_SUCCESS) throw TRegistryError(Quoted("Failed to get data for '%s'", name));
        if (type != REG_SZ && type != REG_EXPAND_SZ) {
            throw TRegistryError(Quoted("Invalid data type for '%s'", name));
        }
        const size_t chars = bytes / sizeof(wchar_t);
        // Stored strings need not be terminated; cut at the first NUL if there is one.
        size_t length = 0;
        while (length < chars && buffer[length] != L'\0') ++length;
        return Narrow(buffer.data(), length);
    }
}

void TRegistry::WriteInteger(const std::string& name, int32_t value) {
    const std::wstring wideName = Widen(name);
    const DWORD data = static_cast<DWORD>(value);
    const LONG status =
        current_.valid()
            ? RegSetValueExW(current_.get(), wideName.c_str(), 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&data), sizeof(data))
            : ERROR_INVALID_HANDLE;
    if (status != ERROR_SUCCESS) throw TRegistryError(Quoted("Failed to set data for '%s'", name));
}

}  // namespace lvm
