#include "support/temp_folder.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "common/text.h"

namespace lvm::test {

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            const bool link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (folder && !link) {
                RemoveTree(child);
            } else if (folder) {
                RemoveDirectoryW(child.c_str());
            } else {
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &data));
        FindClose(search);
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(path.c_str());
}

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

TempFolder::~TempFolder() { RemoveTree(Widen(root_)); }

void TempFolder::WriteFile(const std::string& relative, const std::string& bytes) const {
    std::ofstream out(Widen(PathOf(relative)).c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + relative);
}

std::string TempFolder::ReadFile(const std::string& relative) const {
    std::ifstream in(Widen(PathOf(relative)).c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempFolder::Exists(const std::string& relative) const {
    return GetFileAttributesW(Widen(PathOf(relative)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void TempFolder::MakeFolder(const std::string& relative) const {
    CreateDirectoryW(Widen(PathOf(relative)).c_str(), nullptr);
}

void TempFolder::Remove(const std::string& relative) const {
    const std::wstring path = Widen(PathOf(relative));
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileW(path.c_str())) RemoveTree(path);
}

}  // namespace lvm::test
