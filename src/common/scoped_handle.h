// Owners for the Windows handles the installer takes: each closes its handle
// on every path, and release() hands it on where ownership moves.
#pragma once

#include <windows.h>

#include <utility>

namespace lvm {

template <typename Traits>
class TScopedGeneric {
public:
    using Handle = typename Traits::Handle;

    TScopedGeneric() noexcept : handle_(Traits::Invalid()) {}
    explicit TScopedGeneric(Handle handle) noexcept : handle_(handle) {}
    ~TScopedGeneric() { reset(); }

    TScopedGeneric(const TScopedGeneric&) = delete;
    TScopedGeneric& operator=(const TScopedGeneric&) = delete;
    TScopedGeneric(TScopedGeneric&& other) noexcept : handle_(other.release()) {}
    TScopedGeneric& operator=(TScopedGeneric&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Handle get() const noexcept { return handle_; }
    bool valid() const noexcept { return Traits::IsValid(handle_); }
    explicit operator bool() const noexcept { return valid(); }

    Handle release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
    void reset(Handle handle = Traits::Invalid()) noexcept {
        if (Traits::IsValid(handle_)) Traits::Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_;
};

// CreateFile and FindFirstFile fail with INVALID_HANDLE_VALUE, most others with null;
// both count as invalid for every kernel handle.
struct TKernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};

struct TFindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::FindClose(h); }
};

// A handle that is null when there is none, given back by `CloseFunction`.
template <typename H, auto CloseFunction>
struct TNullWhenInvalidTraits {
    using Handle = H;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { CloseFunction(h); }
};

using ScopedHandle = TScopedGeneric<TKernelHandleTraits>;
using ScopedFindHandle = TScopedGeneric<TFindHandleTraits>;
using ScopedRegKey = TScopedGeneric<TNullWhenInvalidTraits<HKEY, &::RegCloseKey>>;
using ScopedModule = TScopedGeneric<TNullWhenInvalidTraits<HMODULE, &::FreeLibrary>>;

}  // namespace lvm
