#!/usr/bin/env python3
"""Copies a real package file into the build after checking that its version
field (unsigned 16-bit little-endian at offset 6) is the configured version."""
import os
import shutil
import struct
import sys


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: check_package.py PACKAGE EXPECTED_VERSION OUTPUT")
    source, expected, output = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    with open(source, "rb") as f:
        head = f.read(8)
    if len(head) < 8:
        sys.exit("error: %s is too short to be a package file (%d bytes)" % (source, len(head)))
    (version,) = struct.unpack_from("<H", head, 6)
    if version != expected:
        sys.exit("error: package %s has version %d in its header, but the installer is "
                 "configured for version %d (PackageVersion)" % (source, version, expected))
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    shutil.copyfile(source, output)


if __name__ == "__main__":
    main()
