#include "payload/version_probes.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <exception>
#include <optional>
#include <vector>

#include "common/scoped_handle.h"
#include "common/system_library.h"
#include "common/text.h"
#include "common/window_api.h"
#include "payload/payload_files.h"

namespace lvm {

namespace {

int32_t ReadVersionField(const std::string& path, TVersionField field) {
    if (!IsExistingFile(path)) return 0;
    ScopedHandle file = OpenForReading(path);
    if (!file) return 0;
    LARGE_INTEGER offset;
    offset.QuadPart = field.offset;
    if (!SetFilePointerEx(file.get(), offset, nullptr, FILE_BEGIN)) return 0;
    unsigned char bytes[4] = {};
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes, static_cast<DWORD>(field.width), &read, nullptr)) return 0;
    // A file that ends before the field has no version.
    return static_cast<int32_t>(LittleEndianField(bytes, read, field.width));
}

// The converted value line, or nothing when the file cannot be opened or
// read or its value line does not convert.
std::optional<int32_t> ScanLngFile(const std::string& path) {
    ScopedHandle file = OpenForReading(path);
    if (!file) return std::nullopt;
    TLngVersionScanner scanner;
    // The file is read in pieces and only as far as the value line, so a
    // huge file or an endless line costs no more memory than a small one.
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
            return std::nullopt;
        }
        if (read == 0) break;
        if (scanner.Feed(buffer.data(), read)) break;
    }
    scanner.Finish();
    return scanner.Value();
}

}  // namespace

int32_t ReadPakVersion(const std::string& path) { return ReadVersionField(path, kPakVersionField); }
int32_t ReadCokVersion(const std::string& path) { return ReadVersionField(path, kCokVersionField); }
int32_t Read3bsVersion(const std::string& path) { return ReadVersionField(path, k3bsVersionField); }

int32_t ReadLngVersion(const std::string& path, const TMessenger& messages) {
    if (!IsExistingFile(path)) return 0;
    std::optional<int32_t> version;
    try {
        version = ScanLngFile(path);
    } catch (const std::exception&) {
        version.reset();
    }
    if (!version) {
        messages.Tell(Message::CantHandleLanguageFile, {path});
        return 0;
    }
    return *version;
}

namespace {

// version.dll is not one of the system's known DLLs: importing it would let
// the loader take a copy from the installer's folder before any of our code
// runs. It is loaded from the system folder when first needed and kept for
// the rest of the process.
struct VersionFunctions {
    ScopedModule module{LoadSystemLibrary(L"version.dll")};
    LVM_SDK_FUNCTION_TYPE(GetFileVersionInfoSizeW) getSize = LVM_GET_FUNCTION(module.get(), GetFileVersionInfoSizeW);
    LVM_SDK_FUNCTION_TYPE(GetFileVersionInfoW) getInfo = LVM_GET_FUNCTION(module.get(), GetFileVersionInfoW);
    LVM_SDK_FUNCTION_TYPE(VerQueryValueW) query = LVM_GET_FUNCTION(module.get(), VerQueryValueW);

    bool Available() const { return getSize && getInfo && query; }
};

const VersionFunctions& Version() {
    static const VersionFunctions api;
    return api;
}

}  // namespace

std::string ReadExeFileVersion(const std::string& path) {
    const std::wstring widePath = Widen(path);
    // The shell's executable test comes first: a data file that happens to
    // carry a version resource is not an executable.
    SHFILEINFOW shellInfo{};
    if (Shell32().SHGetFileInfoW(widePath.c_str(), 0, &shellInfo, sizeof shellInfo, SHGFI_EXETYPE) == 0) return {};

    const VersionFunctions& api = Version();
    if (!api.Available()) return {};
    DWORD ignored = 0;
    const DWORD size = api.getSize(widePath.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<unsigned char> versionInfo(size);
    if (!api.getInfo(widePath.c_str(), 0, size, versionInfo.data())) return {};

    void* translation = nullptr;
    UINT translationLength = 0;
    if (!api.query(versionInfo.data(), L"\\VarFileInfo\\Translation", &translation, &translationLength) ||
        translation == nullptr || translationLength < 2 * sizeof(WORD)) {
        return {};
    }
    const WORD* firstTranslation = static_cast<const WORD*>(translation);
    const std::wstring query = Widen(FileVersionQuery(firstTranslation[0], firstTranslation[1]));

    void* value = nullptr;
    UINT valueLength = 0;  // characters, the terminator included
    if (!api.query(versionInfo.data(), query.c_str(), &value, &valueLength) || value == nullptr) {
        return {};
    }
    // Up to the terminator, and never past the value's stated length.
    const wchar_t* text = static_cast<const wchar_t*>(value);
    return Narrow(text, wcsnlen(text, valueLength));
}

}  // namespace lvm
