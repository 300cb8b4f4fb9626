// Text at the Windows boundary: the program keeps UTF-8 in std::string and
// converts only where it calls the wide API.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace lvm {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
std::string Narrow(const wchar_t* wide, size_t length);

// Text in a Windows code page (for example the OEM page of a console) to UTF-8.
std::string CodePageToUtf8(const std::string& bytes, unsigned codePage);

// The text a Windows call writes into a caller's buffer, whatever its length:
// the call gets a buffer and its size in characters, and answers 0 on
// failure, the length written when it fitted, and otherwise the size it
// needs or the whole buffer filled (then the buffer grows and it is asked
// again). Empty on failure.
std::wstring QueryWideString(const std::function<DWORD(wchar_t* buffer, DWORD size)>& query);

}  // namespace lvm
