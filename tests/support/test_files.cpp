#include "support/test_files.h"

#include <windows.h>

#include <stdexcept>
#include <utility>
#include <vector>

#include "common/scoped_handle.h"
#include "common/text.h"

namespace lvm::test {

std::optional<std::string> ReadFileBytes(const std::string& path) {
    const ScopedHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string bytes;
    std::vector<char> buffer(1 << 16);
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read > 0) {
        bytes.append(buffer.data(), read);
    }
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    const ScopedHandle file(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool PathExists(const std::string& path) {
    return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void SetReadOnly(const std::string& path, bool readOnly) {
    SetFileAttributesW(Widen(path).c_str(), readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
}

void RemoveTree(const std::wstring& path) {
    // Every entry first, then the removals, so that no search is open on a
    // folder being emptied.
    std::vector<std::pair<std::wstring, DWORD>> children;
    WIN32_FIND_DATAW data;
    if (ScopedFindHandle search{FindFirstFileW((path + L"\\*").c_str(), &data)}) {
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") children.emplace_back(path + L"\\" + name, data.dwFileAttributes);
        } while (FindNextFileW(search.get(), &data));
    }
    for (const auto& [child, attributes] : children) {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (folder && !link) {
            RemoveTree(child);
        } else if (folder) {
            RemoveDirectoryW(child.c_str());
        } else {
            DeleteFileW(child.c_str());
        }
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(path.c_str());
}

namespace {

std::wstring InLongForm(const std::wstring& path) {
    return path.rfind(L"\\\\?\\", 0) == 0 ? path : L"\\\\?\\" + path;
}

}  // namespace

TempFolder::TempFolder(const std::string& subfolder) {
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0) throw std::runtime_error("no temporary folder");
    static unsigned counter = 0;
    std::wstring base(temp, n);
    if (base.back() != L'\\') base += L'\\';
    for (;;) {
        const std::wstring candidate = base + L"lvm-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                       std::to_wstring(++counter);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            root_ = Narrow(candidate);
            path_ = root_;
            if (!subfolder.empty()) {
                path_ += "\\" + subfolder;
                CreateDirectoryW(Widen(path_).c_str(), nullptr);
            }
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create temp folder");
    }
}

TempFolder::TempFolder(const At& place) : root_(place.path), path_(place.path) {
    RemoveTree(InLongForm(Widen(root_)));
    if (!CreateDirectoryW(Widen(root_).c_str(), nullptr)) throw std::runtime_error("cannot create " + root_);
}

TempFolder::~TempFolder() { RemoveTree(InLongForm(Widen(root_))); }

std::wstring TempFolder::LongPathOf(const std::string& relative) const { return InLongForm(Widen(PathOf(relative))); }

void TempFolder::WriteFile(const std::string& relative, const std::string& bytes) const {
    for (size_t slash = relative.find('\\'); slash != std::string::npos; slash = relative.find('\\', slash + 1)) {
        CreateDirectoryW(LongPathOf(relative.substr(0, slash)).c_str(), nullptr);
    }
    if (!WriteFileBytes(Narrow(LongPathOf(relative)), bytes)) throw std::runtime_error("cannot write " + relative);
}

std::string TempFolder::ReadFile(const std::string& relative) const {
    return ReadFileBytes(Narrow(LongPathOf(relative))).value_or(std::string());
}

bool TempFolder::Exists(const std::string& relative) const { return PathExists(Narrow(LongPathOf(relative))); }

void TempFolder::MakeFolder(const std::string& relative) const {
    CreateDirectoryW(LongPathOf(relative).c_str(), nullptr);
}

void TempFolder::Remove(const std::string& relative) const {
    const std::wstring path = LongPathOf(relative);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileW(path.c_str())) RemoveTree(path);
}

}  // namespace lvm::test
