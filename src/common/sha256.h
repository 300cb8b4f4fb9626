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

class Sha256Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Sha256 {
public:
    enum class Engine {
        Fastest,  // the SHA extensions where the processor has them, CNG otherwise
        Cng,
    };
    // Throws Sha256Error when CNG is needed and not available.
    explicit Sha256(Engine engine = Engine::Fastest);
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, size_t size);
    Sha256Digest Finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace lvm
