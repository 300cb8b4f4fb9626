// SHA-256 through Windows CNG (bcrypt.dll, loaded from the system folder).
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
    Sha256();  // throws Sha256Error when CNG is not available
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
