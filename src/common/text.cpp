#include "common/text.h"

#include <windows.h>

#include <functional>

namespace lvm {

namespace {

std::wstring MultiByteToWide(const std::string& bytes, UINT codePage) {
    if (bytes.empty()) return std::wstring();
    const int count = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                          nullptr, 0);
    if (count <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0], count);
    return wide;
}

}  // namespace

std::wstring Widen(const std::string& utf8) { return MultiByteToWide(utf8, CP_UTF8); }

std::string Narrow(const wchar_t* wide, size_t length) {
    if (length == 0) return std::string();
    const int count = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0,
                                          nullptr, nullptr);
    if (count <= 0) return std::string();
    std::string utf8(static_cast<size_t>(count), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), &utf8[0], count, nullptr,
                        nullptr);
    return utf8;
}

std::string Narrow(const std::wstring& wide) { return Narrow(wide.data(), wide.size()); }

std::string CodePageToUtf8(const std::string& bytes, unsigned codePage) {
    return Narrow(MultiByteToWide(bytes, codePage));
}

std::wstring QueryWideString(const std::function<DWORD(wchar_t* buffer, DWORD size)>& query) {
    std::wstring text(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = query(&text[0], static_cast<DWORD>(text.size()));
        if (length == 0) return std::wstring();
        if (length < text.size()) {
            text.resize(length);
            return text;
        }
        // Too small: the call said how much it needs, or filled the buffer.
        text.resize(length > text.size() ? length : text.size() * 2);
    }
}

}  // namespace lvm
