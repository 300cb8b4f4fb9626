#include "common/sha256.h"

#include <windows.h>
#include <bcrypt.h>

#include <string>
#include <vector>

#include "common/scoped_handle.h"
#include "common/system_library.h"

namespace lvm {

namespace {

template <typename Function>
Function Required(Function function, const char* name) {
    if (!function) throw Sha256Error(std::string("bcrypt.dll lacks ") + name);
    return function;
}

// A bcrypt.dll function, typed as the SDK declares it; throws when absent.
#define LVM_BCRYPT(module, name) Required(LVM_GET_FUNCTION(module, name), #name)

// bcrypt.dll is not a known DLL: a copy beside the installer must never be
// used. Loaded once and kept for the life of the process: unloading it after
// the check would cost the run a few milliseconds for nothing.
HMODULE Bcrypt() {
    static const HMODULE module = LoadSystemLibrary(L"bcrypt.dll");
    return module;
}

}  // namespace

struct Sha256::State {
    LVM_SDK_FUNCTION_TYPE(BCryptCloseAlgorithmProvider) closeProvider = nullptr;
    LVM_SDK_FUNCTION_TYPE(BCryptHashData) hashData = nullptr;
    LVM_SDK_FUNCTION_TYPE(BCryptFinishHash) finishHash = nullptr;
    LVM_SDK_FUNCTION_TYPE(BCryptDestroyHash) destroyHash = nullptr;
    BCRYPT_ALG_HANDLE provider = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    std::vector<UCHAR> hashObject;  // Windows 7 needs the caller's buffer

    ~State() {
        if (hash) destroyHash(hash);
        if (provider) closeProvider(provider, 0);
    }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    State& s = *state_;
    const HMODULE module = Bcrypt();
    if (!module) throw Sha256Error("bcrypt.dll cannot be loaded");
    const auto openProvider = LVM_BCRYPT(module, BCryptOpenAlgorithmProvider);
    const auto getProperty = LVM_BCRYPT(module, BCryptGetProperty);
    const auto createHash = LVM_BCRYPT(module, BCryptCreateHash);
    s.closeProvider = LVM_BCRYPT(module, BCryptCloseAlgorithmProvider);
    s.hashData = LVM_BCRYPT(module, BCryptHashData);
    s.finishHash = LVM_BCRYPT(module, BCryptFinishHash);
    s.destroyHash = LVM_BCRYPT(module, BCryptDestroyHash);

    if (openProvider(&s.provider, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0) {
        s.provider = nullptr;
        throw Sha256Error("SHA-256 provider unavailable");
    }
    DWORD objectLength = 0;
    ULONG written = 0;
    if (getProperty(s.provider, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectLength),
                    sizeof(objectLength), &written, 0) < 0) {
        throw Sha256Error("SHA-256 object length unavailable");
    }
    s.hashObject.resize(objectLength);
    if (createHash(s.provider, &s.hash, s.hashObject.data(), objectLength, nullptr, 0, 0) < 0) {
        s.hash = nullptr;
        throw Sha256Error("SHA-256 hash cannot be created");
    }
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, size_t size) {
    const auto* bytes = static_cast<const UCHAR*>(data);
    while (size > 0) {
        const ULONG part = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        if (state_->hashData(state_->hash, const_cast<PUCHAR>(bytes), part, 0) < 0) {
            throw Sha256Error("SHA-256 update failed");
        }
        bytes += part;
        size -= part;
    }
}

Sha256Digest Sha256::Finish() {
    Sha256Digest digest{};
    if (state_->finishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0) < 0) {
        throw Sha256Error("SHA-256 finish failed");
    }
    return digest;
}

}  // namespace lvm
