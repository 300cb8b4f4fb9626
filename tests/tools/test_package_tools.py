"""Tests of the build-time tools: the package generator, the package check and
the self-check stamp."""
import hashlib
import os
import struct
import subprocess
import sys
import tempfile
import unittest

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools")
sys.path.insert(0, TOOLS)

import make_package  # noqa: E402
import stamp_selfcheck  # noqa: E402


def run_tool(*args):
    return subprocess.run([sys.executable] + list(args), capture_output=True, text=True)


class PackageGenerator(unittest.TestCase):
    def test_same_bytes_on_every_build(self):
        self.assertEqual(hashlib.sha256(make_package.build(215)).hexdigest(),
                         hashlib.sha256(make_package.build(215)).hexdigest())

    def test_version_field_follows_the_argument(self):
        data = make_package.build(216)
        self.assertEqual(struct.unpack_from("<H", data, 6)[0], 216)
        self.assertEqual(len(data), 11_810_129)

    def test_a_larger_package_keeps_the_layout(self):
        data = make_package.build(215, times=3)
        offsets = struct.unpack_from("<216I", data, 8)
        self.assertEqual(len(data), 876 + (11_810_129 - 880) * 3 + 4)
        self.assertEqual((offsets[0], offsets[-1]), (876, len(data) - 4))
        self.assertTrue(all(a < b for a, b in zip(offsets, offsets[1:])))


class PackageCheck(unittest.TestCase):
    def test_wrong_version_stops_with_a_clear_message(self):
        with tempfile.TemporaryDirectory() as tmp:
            source = os.path.join(tmp, "real.pak")
            with open(source, "wb") as f:
                f.write(b"lvm0" + struct.pack("<HH", 546, 214) + b"\0" * 100)
            result = run_tool(os.path.join(TOOLS, "check_package.py"), source, "215",
                              os.path.join(tmp, "out.pak"))
            self.assertNotEqual(result.returncode, 0)
            self.assertIn("version 214", result.stderr)
            self.assertIn("215", result.stderr)
            self.assertFalse(os.path.exists(os.path.join(tmp, "out.pak")))

    def test_matching_version_is_copied_unchanged(self):
        with tempfile.TemporaryDirectory() as tmp:
            source = os.path.join(tmp, "real.pak")
            body = b"lvm0" + struct.pack("<HH", 546, 215) + bytes(range(256))
            with open(source, "wb") as f:
                f.write(body)
            out = os.path.join(tmp, "sub", "out.pak")
            result = run_tool(os.path.join(TOOLS, "check_package.py"), source, "215", out)
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(out, "rb") as f:
                self.assertEqual(f.read(), body)

    def test_too_short_file_is_refused(self):
        with tempfile.TemporaryDirectory() as tmp:
            source = os.path.join(tmp, "short.pak")
            with open(source, "wb") as f:
                f.write(b"lvm0\x22")
            result = run_tool(os.path.join(TOOLS, "check_package.py"), source, "215",
                              os.path.join(tmp, "out.pak"))
            self.assertNotEqual(result.returncode, 0)


class Stamp(unittest.TestCase):
    def test_checksum_matches_the_word_sum_definition(self):
        data = bytes(range(256)) * 3 + b"\x01"
        total = 0
        for i in range(0, len(data), 2):
            if i in (64, 66):
                continue
            word = data[i] | ((data[i + 1] << 8) if i + 1 < len(data) else 0)
            total += word
            total = (total & 0xFFFF) + (total >> 16)
        self.assertEqual(stamp_selfcheck.pe_checksum(data, 64), (total + len(data)) & 0xFFFFFFFF)

    def test_refuses_files_that_are_not_pe(self):
        with self.assertRaises(SystemExit):
            stamp_selfcheck.stamp(b"MZ" + b"\0" * 200)


if __name__ == "__main__":
    unittest.main()
