// Reads the version of an installed or newly written file, one probe per
// package kind. Every probe answers with an empty value (0 or an empty text)
// when there is nothing it can read; only the language support file's probe
// tells the user about a file it cannot handle.
#pragma once

#include <cstdint>
#include <string>

#include "lang/messages.h"

#include "payload/version_rules.h"

namespace lvm {

// The unsigned 16-bit value at byte 6 of a package file.
int32_t ReadPakVersion(const std::string& path);
// The unsigned 16-bit value at byte 5.
int32_t ReadCokVersion(const std::string& path);
// The byte at offset 6.
int32_t Read3bsVersion(const std::string& path);

// The value on the line after the [langver] header of a language support
// file. A file that cannot be opened or read, or whose value line does not
// convert, is reported with a message and gives 0; a missing file gives 0.
int32_t ReadLngVersion(const std::string& path, const TMessenger& messages);

// The "FileVersion" string of an executable's version resource (its first
// translation); empty when the file is not an executable or has none.
std::string ReadExeFileVersion(const std::string& path);

}  // namespace lvm
