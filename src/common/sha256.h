// SHA-256 on the processor's SHA extensions where CPUID reports them, and
// through Windows CNG (bcrypt.dll, loaded from the system folder) everywhere
// else. Windows' own CNG uses the extensions itself where it can, but not
// every 32-bit CNG does, and the self-check hashes the whole installer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>

namespace lvm {

using Sha256Digest = std::array<uint8_t, 32>;

class TSha256Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TSha256 {
public:
    enum class Engine {
        Fastest,  // the SHA extensions where the processor has them, CNG otherwise
        Cng,
    };
    // Throws TSha256Error when CNG is needed and not available.
    explicit TSha256(Engine engine = Engine::Fastest);
    ~TSha256();
    TSha256(const TSha256&) = delete;
    TSha256& operator=(const TSha256&) = delete;

    void Update(const void* data, size_t size);
    Sha256Digest Finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace lvm
