#!/usr/bin/env python3
"""Stamps the self-check reference into a linked installer.

The executable carries a 48-byte record in its own section ".lvmchk":
    magic "LVM0CHK1" | covered length (u32) | reserved (u32) | SHA-256 (32 bytes)

The digest is taken over the first `covered length` bytes of the file (the
whole file as it leaves the build) with three fields read as zeros:
  - the PE checksum (4 bytes), which is rewritten below and by signing tools,
  - the certificate-table directory entry (8 bytes), which signing fills in,
  - the digest field itself.
The covered length is the file's size, a multiple of the file alignment, so an
Authenticode signature can be appended without padding. Finally the PE
checksum is set to the true checksum of the stamped file; the installer checks
it too, which covers the 4 bytes that the digest skips.

The installer repeats the same computation at run time (src/selfcheck/self_check.cpp).
"""
import array
import hashlib
import struct
import sys

SECTION = b".lvmchk"
MAGIC = b"LVM0CHK1"
RECORD_SIZE = 48
CHECKSUM_CHUNK = 1 << 24


def pe_layout(data):
    (pe_offset,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe_offset:pe_offset + 4] != b"PE\0\0":
        raise SystemExit("error: not a PE file")
    coff = pe_offset + 4
    (section_count,) = struct.unpack_from("<H", data, coff + 2)
    (optional_size,) = struct.unpack_from("<H", data, coff + 16)
    optional = coff + 20
    (magic,) = struct.unpack_from("<H", data, optional)
    # PE32 (the shipped i686 file) or PE32+ (the x86_64 build some test hosts run):
    # the data directories start 16 bytes later in PE32+.
    if magic not in (0x10B, 0x20B):
        raise SystemExit("error: not a PE32 or PE32+ file")
    directories = optional + (96 if magic == 0x10B else 112)
    checksum_offset = optional + 64
    security_dir_offset = directories + 4 * 8
    sections = optional + optional_size
    record_offset = None
    for i in range(section_count):
        entry = sections + 40 * i
        name = data[entry:entry + 8].rstrip(b"\0")
        if name == SECTION:
            (raw_size, raw_pointer) = struct.unpack_from("<II", data, entry + 16)
            if raw_size < RECORD_SIZE:
                raise SystemExit("error: section .lvmchk is too small")
            record_offset = raw_pointer
    if record_offset is None:
        raise SystemExit("error: no .lvmchk section in the executable")
    if data[record_offset:record_offset + 8] != MAGIC:
        raise SystemExit("error: .lvmchk does not start with the self-check record")
    return checksum_offset, security_dir_offset, record_offset


def pe_checksum(data, checksum_offset):
    padded = data + (b"\0" if len(data) % 2 else b"")
    # Summed a chunk at a time: a package of hundreds of MB stays quick.
    total = 0
    view = memoryview(padded)
    for start in range(0, len(padded), CHECKSUM_CHUNK):
        words = array.array("H")
        words.frombytes(view[start:start + CHECKSUM_CHUNK])
        if sys.byteorder == "big":
            words.byteswap()
        total += sum(words)
    total -= sum(struct.unpack_from("<HH", padded, checksum_offset))
    while total > 0xFFFF:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def stamp(data):
    data = bytearray(data)
    checksum_offset, security_dir_offset, record_offset = pe_layout(data)
    if any(data[security_dir_offset:security_dir_offset + 8]):
        raise SystemExit("error: stamp before signing, not after")
    covered = len(data)
    if covered % 8:
        raise SystemExit("error: file size is not a multiple of 8")
    struct.pack_into("<II", data, record_offset + 8, covered, 0)
    digest_offset = record_offset + 16
    view = bytearray(data)
    view[checksum_offset:checksum_offset + 4] = b"\0" * 4
    view[security_dir_offset:security_dir_offset + 8] = b"\0" * 8
    view[digest_offset:digest_offset + 32] = b"\0" * 32
    data[digest_offset:digest_offset + 32] = hashlib.sha256(bytes(view)).digest()
    struct.pack_into("<I", data, checksum_offset, pe_checksum(bytes(data), checksum_offset))
    return bytes(data)


def main():
    if len(sys.argv) != 3:
        raise SystemExit("usage: stamp_selfcheck.py INPUT.exe OUTPUT.exe")
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    out = stamp(data)
    tmp = sys.argv[2] + ".tmp"
    with open(tmp, "wb") as f:
        f.write(out)
    import os
    os.replace(tmp, sys.argv[2])


if __name__ == "__main__":
    main()
