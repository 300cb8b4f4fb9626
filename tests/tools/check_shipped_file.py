#!/usr/bin/env python3
"""Checks the shipped i686 installer as a file, where the host cannot run it.

On a host without 32-bit user code the suite runs against an x86_64 build of
the same sources; this keeps the file that ships under test all the same:
  - a 32-bit (PE32, i386) GUI executable;
  - it imports only kernel32, advapi32 and the C runtime, known DLLs all
    (the loader resolves imports before any of the installer's code can
    restrict the DLL search, and the window system comes in at first use);
  - its self-check record and PE checksum are intact: stamping it again
    changes no byte. A signed file is checked as the build left it (without
    the certificate table that ends it and the two header fields that describe
    it), and its own PE checksum must be the one over the signed file.
Usage: check_shipped_file.py SETUP.exe OBJDUMP
"""
import os
import re
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools"))
import stamp_selfcheck  # noqa: E402

IMPORTED_DLLS = {"kernel32.dll", "advapi32.dll", "msvcrt.dll"}


def as_built(data):
    """The file without its certificate table, with the table's directory entry
    zeroed and the PE checksum of what is left: what the stamp made; None when
    a table is described that does not end the file."""
    checksum_offset, directory, _ = stamp_selfcheck.pe_layout(data)
    table, size = struct.unpack_from("<II", data, directory)
    if not table and not size:
        return data
    if not size or table + size != len(data):
        return None
    unsigned = bytearray(data[:table])
    unsigned[directory:directory + 8] = bytes(8)
    struct.pack_into("<I", unsigned, checksum_offset, stamp_selfcheck.pe_checksum(bytes(unsigned), checksum_offset))
    return bytes(unsigned)


def main():
    setup, objdump = sys.argv[1], sys.argv[2]
    with open(setup, "rb") as f:
        data = f.read()
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    machine, = struct.unpack_from("<H", data, pe + 4)
    magic, = struct.unpack_from("<H", data, pe + 24)
    subsystem, = struct.unpack_from("<H", data, pe + 24 + 68)
    listing = subprocess.run([objdump, "-p", setup], check=True, capture_output=True, text=True).stdout
    imports = {name.lower() for name in re.findall(r"DLL Name: (\S+)", listing)}
    built = as_built(data)
    checksum_offset = stamp_selfcheck.pe_layout(data)[0]
    checks = [
        ("a PE32 i386 file (machine 0x%x, magic 0x%x)" % (machine, magic), machine == 0x14C and magic == 0x10B),
        ("a GUI executable (subsystem %d)" % subsystem, subsystem == 2),
        ("imports only %s (%s)" % (sorted(IMPORTED_DLLS), sorted(imports)), imports == IMPORTED_DLLS),
        ("no certificate table, or one that ends the file", built is not None),
        ("the self-check record matches the file as built", built is not None and stamp_selfcheck.stamp(built) == built),
        ("the PE checksum matches the file", struct.unpack_from("<I", data, checksum_offset)[0] ==
         stamp_selfcheck.pe_checksum(data, checksum_offset)),
    ]
    failures = [what for what, ok in checks if not ok]
    for failure in failures:
        print("FAIL: expected", failure)
    print("%d passed, %d failed" % (len(checks) - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
