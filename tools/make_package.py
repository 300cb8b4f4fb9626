#!/usr/bin/env python3
"""Makes the stand-in package that the build embeds when a description names
no file: for "pak" the sound-comments layout below, for the other kinds a
small file whose version sits where the installer reads it for that kind.

"pak" layout (little-endian):
  0-3    magic "lvm0"
  4-5    546
  6-7    package version
  8-871  216 strictly increasing offsets; first 876, last = file size - 4
  872-875 a value that is not one of the offsets
  876..  215 entries, entry i from offset i to offset i+1
  last 4 bytes: a value after the last offset

The output depends only on the arguments: the same bytes on every build.
"""
import hashlib
import os
import struct
import sys

ENTRY_COUNT = 215
FIRST_OFFSET = 876
TOTAL_SIZE = 11_810_129
MIN_ENTRY = 5_004
MAX_ENTRY = 289_398


class Lcg:
    """A small fixed generator, so that the file never depends on Python's."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFFFFFFFFFF

    def next32(self):
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) & 0xFFFFFFFFFFFFFFFF
        return self.state >> 32

    def below(self, n):
        return self.next32() % n


def entry_sizes():
    total = (TOTAL_SIZE - 4) - FIRST_OFFSET
    rng = Lcg(0x6C766D30)
    sizes = [MIN_ENTRY, MAX_ENTRY]
    for _ in range(ENTRY_COUNT - 2):
        sizes.append(MIN_ENTRY + rng.below(100_000))
    # Spread what is left over the free entries without leaving the range.
    rest = total - sum(sizes)
    i = 2
    while rest != 0:
        step = max(-(sizes[i] - MIN_ENTRY), min(rest, MAX_ENTRY - 1 - sizes[i]))
        sizes[i] += step
        rest -= step
        i = 2 + (i - 1) % (ENTRY_COUNT - 2)
    assert sum(sizes) == total
    assert min(sizes) == MIN_ENTRY and max(sizes) == MAX_ENTRY
    return sizes


def entry_bytes(index, size):
    # Opaque but reproducible content: a SHA-256 counter stream per entry.
    out = bytearray()
    block = 0
    while len(out) < size:
        out += hashlib.sha256(b"lvm0-entry-%d-%d" % (index, block)).digest() * 64
        block += 1
    return bytes(out[:size])


def build(version):
    sizes = entry_sizes()
    offsets = [FIRST_OFFSET]
    for s in sizes:
        offsets.append(offsets[-1] + s)
    assert len(offsets) == ENTRY_COUNT + 1
    assert offsets[-1] == TOTAL_SIZE - 4
    header = b"lvm0" + struct.pack("<HH", 546, version)
    header += struct.pack("<%dI" % len(offsets), *offsets)
    header += struct.pack("<I", 0)  # not one of the offsets
    assert len(header) == FIRST_OFFSET
    body = b"".join(entry_bytes(i, s) for i, s in enumerate(sizes))
    data = header + body + struct.pack("<I", 0x30D7)
    assert len(data) == TOTAL_SIZE
    return data


SMALL_STAND_IN_SIZE = 65_536


def stand_in(name, kind, version):
    """The stand-in of a package of this name, kind and version."""
    if kind == "pak":
        return build(version)
    if kind == "lng":
        return b"[langver]\r\n%d\r\n" % version
    body = bytearray(entry_bytes(0, SMALL_STAND_IN_SIZE))
    body[0:4] = name.encode("ascii")[:4].ljust(4, b"_")
    if kind == "cok":
        body[5:7] = struct.pack("<H", version)
    elif kind == "3bs":
        body[6] = version
    return bytes(body)


def main():
    if len(sys.argv) != 5:
        sys.exit("usage: make_package.py NAME KIND VERSION OUTPUT")
    name, kind, version, output = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    with open(output, "wb") as f:
        f.write(stand_in(name, kind, version))


if __name__ == "__main__":
    main()
