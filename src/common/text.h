// Text at the Windows boundary: the program keeps UTF-8 in std::string and
// converts only where it calls the wide API.
#pragma once

#include <string>

namespace lvm {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
std::string Narrow(const wchar_t* wide, size_t length);

// Text in a Windows code page (for example the OEM page of a console) to UTF-8.
std::string CodePageToUtf8(const std::string& bytes, unsigned codePage);

// Lowers the ASCII capitals A to Z only; every other byte stays as it is.
std::string LowerAscii(std::string text);

}  // namespace lvm
