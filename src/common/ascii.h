// Letter case of ASCII only. The texts compared this way (switches, registry
// values, file headers) are ASCII by definition; a locale-aware change could
// turn "I" into a dotless or dotted i and stop a match, and other bytes of
// UTF-8 text must stay as they are.
#pragma once

#include <string>

namespace lvm {

inline char LowerAsciiChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
inline char UpperAsciiChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string LowerAscii(std::string text) {
    for (char& c : text) c = LowerAsciiChar(c);
    return text;
}

inline std::string UpperAscii(std::string text) {
    for (char& c : text) c = UpperAsciiChar(c);
    return text;
}

}  // namespace lvm
