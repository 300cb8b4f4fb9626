// The least a program can do to put the package in place with an integrity
// check: read the file once, hash it once with CNG SHA-256, write it once to
// a new file and flush it. Only kernel32 and bcrypt in its import table, GUI
// subsystem as the installer. The floor of the benchmark's install figures.
//
//   lvm-floor.exe SOURCE DESTINATION     exit 0 when written and flushed
#include <windows.h>
#include <bcrypt.h>

#include <cstdlib>
#include <vector>

#include "common/scoped_handle.h"

namespace {

bool Sha256Of(const std::vector<unsigned char>& data, unsigned char (&digest)[32]) {
    BCRYPT_ALG_HANDLE provider = nullptr;
    if (BCryptOpenAlgorithmProvider(&provider, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0) return false;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool hashed = BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0) >= 0;
    if (hashed) {
        hashed = BCryptHashData(hash, const_cast<PUCHAR>(data.data()), static_cast<ULONG>(data.size()), 0) >= 0 &&
                 BCryptFinishHash(hash, digest, sizeof digest, 0) >= 0;
        BCryptDestroyHash(hash);
    }
    BCryptCloseAlgorithmProvider(provider, 0);
    return hashed;
}

int Copy(const wchar_t* source, const wchar_t* destination) {
    std::vector<unsigned char> data;
    {
        const lvm::ScopedHandle in(CreateFileW(source, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        LARGE_INTEGER size{};
        if (!in || !GetFileSizeEx(in.get(), &size)) return 2;
        data.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        if (!ReadFile(in.get(), data.data(), static_cast<DWORD>(data.size()), &got, nullptr) ||
            got != data.size()) {
            return 2;
        }
    }
    unsigned char digest[32];
    if (!Sha256Of(data, digest)) return 3;
    const lvm::ScopedHandle out(CreateFileW(destination, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return 4;
    DWORD written = 0;
    const bool ok = WriteFile(out.get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
                    written == data.size() && FlushFileBuffers(out.get());
    return ok ? 0 : 5;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    if (__argc != 3) return 1;
    return Copy(__wargv[1], __wargv[2]);
}
