// The installer's check of its own file before it changes anything.
//
// The linked executable carries a 48-byte record in its section ".lvmchk":
//   magic "LVM0CHK1" | covered length (u32) | reserved (u32) | SHA-256 (32 bytes)
// stamped in by tools/stamp_selfcheck.py. The digest covers the first
// `covered length` bytes of the file with three fields read as zeros: the PE
// checksum, the certificate-table directory entry and the digest itself.
// Bytes past the covered length are allowed only as an Authenticode
// certificate table that the directory entry describes exactly, and the PE
// checksum must be the true checksum of the whole file, so no byte of the
// file goes unchecked.
#pragma once

#include <cstdint>
#include <string>

#include "lang/messages.h"

namespace lvm {

enum class SelfCheckResult {
    Passed,
    Distorted,   // the file is not what the build stamped
    Unreadable,  // the file could not be opened or read
};

SelfCheckResult CheckFileIntegrity(const std::wstring& path);

// Checks the running executable and reports a failure with its message.
bool RunSelfCheck(const TMessenger& messages);

}  // namespace lvm
