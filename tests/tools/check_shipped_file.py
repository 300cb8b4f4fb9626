#!/usr/bin/env python3
"""Checks the shipped i686 installer as a file, where the host cannot run it.

On a host without 32-bit user code the suite runs against an x86_64 build of
the same sources; this keeps the file that ships under test all the same:
  - a 32-bit (PE32, i386) GUI executable;
  - it imports only kernel32, advapi32 and the C runtime, known DLLs all
    (the loader resolves imports before any of the installer's code can
    restrict the DLL search, and the window system comes in at first use);
  - its self-check record and PE checksum are intact: stamping it again
    changes no byte.
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
    checks = [
        ("a PE32 i386 file (machine 0x%x, magic 0x%x)" % (machine, magic), machine == 0x14C and magic == 0x10B),
        ("a GUI executable (subsystem %d)" % subsystem, subsystem == 2),
        ("imports only %s (%s)" % (sorted(IMPORTED_DLLS), sorted(imports)), imports == IMPORTED_DLLS),
        ("the self-check record and the PE checksum match the file", stamp_selfcheck.stamp(data) == data),
    ]
    failures = [what for what, ok in checks if not ok]
    for failure in failures:
        print("FAIL: expected", failure)
    print("%d passed, %d failed" % (len(checks) - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
