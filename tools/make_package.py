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
write() with times N (tools/bench.py) makes a pak file and every entry N times
as large, in the same layout.
"""
import hashlib
import io
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


def total_size(times):
    # The header stays as it is; only the entries grow.
    return FIRST_OFFSET + (TOTAL_SIZE - 4 - FIRST_OFFSET) * times + 4


def entry_sizes(times):
    total = total_size(times) - 4 - FIRST_OFFSET
    smallest, largest = MIN_ENTRY * times, MAX_ENTRY * times
    rng = Lcg(0x6C766D30)
    sizes = [smallest, largest]
    for _ in range(ENTRY_COUNT - 2):
        sizes.append(smallest + rng.below(100_000) * times)
    # Spread what is left over the free entries without leaving the range.
    rest = total - sum(sizes)
    i = 2
    while rest != 0:
        step = max(-(sizes[i] - smallest), min(rest, largest - 1 - sizes[i]))
        sizes[i] += step
        rest -= step
        i = 2 + (i - 1) % (ENTRY_COUNT - 2)
    assert sum(sizes) == total
    assert min(sizes) == smallest and max(sizes) == largest
    return sizes


def entry_bytes(index, size):
    # Opaque but reproducible content: a SHA-256 counter stream per entry.
    out = bytearray()
    block = 0
    while len(out) < size:
        out += hashlib.sha256(b"lvm0-entry-%d-%d" % (index, block)).digest() * 64
        block += 1
    return bytes(out[:size])


def write(version, times, out):
    sizes = entry_sizes(times)
    offsets = [FIRST_OFFSET]
    for s in sizes:
        offsets.append(offsets[-1] + s)
    assert len(offsets) == ENTRY_COUNT + 1
    assert offsets[-1] == total_size(times) - 4
    header = b"lvm0" + struct.pack("<HH", 546, version)
    header += struct.pack("<%dI" % len(offsets), *offsets)
    header += struct.pack("<I", 0)  # not one of the offsets
    assert len(header) == FIRST_OFFSET
    out.write(header)
    # Entry by entry: the benchmark's packages are hundreds of megabytes.
    for i, s in enumerate(sizes):
        out.write(entry_bytes(i, s))
    out.write(struct.pack("<I", 0x30D7))
    assert out.tell() == total_size(times)


def build(version, times=1):
    out = io.BytesIO()
    write(version, times, out)
    return out.getvalue()


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
    args = sys.argv[1:]
    if len(args) != 4:
        sys.exit("usage: make_package.py NAME KIND VERSION OUTPUT")
    name, kind, version, output = args[0], args[1], int(args[2]), args[3]
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    with open(output, "wb") as f:
        f.write(stand_in(name, kind, version))


if __name__ == "__main__":
    main()
