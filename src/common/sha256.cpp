#include "common/sha256.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/scoped_handle.h"
#include "common/sha256_cpu.h"
#include "common/system_library.h"

namespace lvm {

namespace {

template <typename Function>
Function Required(Function function, const char* name) {
    if (!function) throw TSha256Error(std::string("bcrypt.dll lacks ") + name);
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

// The message padding and the length on the processor's compression: a
// partial block waits in `pending` until the next bytes or the end.
class CpuSha256 {
public:
    void Update(const uint8_t* bytes, size_t size) {
        total_ += size;
        if (pendingSize_ > 0) {
            const size_t take = std::min(size, sizeof pending_ - pendingSize_);
            std::memcpy(pending_ + pendingSize_, bytes, take);
            pendingSize_ += take;
            bytes += take;
            size -= take;
            if (pendingSize_ < sizeof pending_) return;
            Sha256CompressOnCpu(words_, pending_, 1);
            pendingSize_ = 0;
        }
        Sha256CompressOnCpu(words_, bytes, size / 64);
        pendingSize_ = size % 64;
        std::memcpy(pending_, bytes + size - pendingSize_, pendingSize_);
    }

    Sha256Digest Finish() {
        const uint64_t bits = total_ * 8;
        uint8_t tail[128] = {};
        std::memcpy(tail, pending_, pendingSize_);
        tail[pendingSize_] = 0x80;
        // The length takes the last eight bytes of the block it fits in.
        const size_t tailSize = pendingSize_ + 1 + 8 <= 64 ? 64 : 128;
        for (int i = 0; i < 8; ++i) tail[tailSize - 1 - i] = static_cast<uint8_t>(bits >> (8 * i));
        Sha256CompressOnCpu(words_, tail, tailSize / 64);
        Sha256Digest digest;
        for (size_t i = 0; i < digest.size(); ++i) digest[i] = static_cast<uint8_t>(words_[i / 4] >> (24 - 8 * (i % 4)));
        return digest;
    }

private:
    uint32_t words_[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                          0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    uint8_t pending_[64] = {};
    size_t pendingSize_ = 0;
    uint64_t total_ = 0;
};

struct TSha256::State {
    std::unique_ptr<CpuSha256> cpu;  // set: CNG is not used
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

TSha256::TSha256(Engine engine) : state_(std::make_unique<State>()) {
    State& s = *state_;
    if (engine == Engine::Fastest && CpuHasShaExtensions()) {
        s.cpu = std::make_unique<CpuSha256>();
        return;
    }
    const HMODULE module = Bcrypt();
    if (!module) throw TSha256Error("bcrypt.dll cannot be loaded");
    const auto openProvider = LVM_BCRYPT(module, BCryptOpenAlgorithmProvider);
    const auto getProperty = LVM_BCRYPT(module, BCryptGetProperty);
    const auto createHash = LVM_BCRYPT(module, BCryptCreateHash);
    s.closeProvider = LVM_BCRYPT(module, BCryptCloseAlgorithmProvider);
    s.hashData = LVM_BCRYPT(module, BCryptHashData);
    s.finishHash = LVM_BCRYPT(module, BCryptFinishHash);
    s.destroyHash = LVM_BCRYPT(module, BCryptDestroyHash);

    if (openProvider(&s.provider, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0) {
        s.provider = nullptr;
        throw TSha256Error("SHA-256 provider unavailable");
    }
    DWORD objectLength = 0;
    ULONG written = 0;
    if (getProperty(s.provider, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectLength),
                    sizeof(objectLength), &written, 0) < 0) {
        throw TSha256Error("SHA-256 object length unavailable");
    }
    s.hashObject.resize(objectLength);
    if (createHash(s.provider, &s.hash, s.hashObject.data(), objectLength, nullptr, 0, 0) < 0) {
        s.hash = nullptr;
        throw TSha256Error("SHA-256 hash cannot be created");
    }
}

TSha256::~TSha256() = default;

void TSha256::Update(const void* data, size_t size) {
    const auto* bytes = static_cast<const UCHAR*>(data);
    if (state_->cpu) return state_->cpu->Update(bytes, size);
    while (size > 0) {
        const ULONG part = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        if (state_->hashData(state_->hash, const_cast<PUCHAR>(bytes), part, 0) < 0) {
            throw TSha256Error("SHA-256 update failed");
        }
        bytes += part;
        size -= part;
    }
}

Sha256Digest TSha256::Finish() {
    if (state_->cpu) return state_->cpu->Finish();
    Sha256Digest digest{};
    if (state_->finishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0) < 0) {
        throw TSha256Error("SHA-256 finish failed");
    }
    return digest;
}

}  // namespace lvm
