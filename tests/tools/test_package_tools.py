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


# The built installer (the first argument) doubles as an "exe" package whose
# FileVersion is 215.
SHIPPED_SETUP = sys.argv.pop(1)
CHECK = os.path.join(TOOLS, "check_package.py")


def description(name, kind, version, package_file, extra=""):
    return ('name = %s\nkind = %s\nversion = %s\ntitle = "\\"Тест\\" версии "\nfile = %s\n%s'
            % (name, kind, version, package_file, extra))


class PackageCheck(unittest.TestCase):
    def generate(self, tmp, name, kind, version, data, file_name=None, extra="", step="generate", head=""):
        """Runs the build's check on a description and the package file it names."""
        package = os.path.join(tmp, file_name or "%s.%s" % (name, kind))
        if isinstance(data, int):  # a file of this size, sparse
            with open(package, "wb") as f:
                f.truncate(data)
        elif data is not None:
            with open(package, "wb") as f:
                f.write(data)
        path = os.path.join(tmp, name + ".ini")
        with open(path, "w", encoding="utf-8") as f:
            f.write(head + description(name, kind, version, os.path.basename(package), extra))
        out = [os.path.join(tmp, "out")] if step == "generate" else []
        return path, package, run_tool(CHECK, step, path, *out)

    def test_a_package_that_disagrees_with_its_description_stops_with_one_line(self):
        with open(SHIPPED_SETUP, "rb") as f:
            setup = f.read()
        # An executable whose ProductVersion (216) is not its FileVersion (215).
        product = setup.index("ProductVersion\0".encode("utf-16-le"))
        value = setup.index("215\0".encode("utf-16-le"), product)
        other_product = setup[:value] + "216".encode("utf-16-le") + setup[value + 6:]
        versionless = "versionless = yes\n"
        rows = [
            # name, kind, version, file content, what the line says, whether it names the package file
            ("lvm0", "pak", 215, b"lvm0\x22\x02\xd6\x00", "holds version 214", True),
            # bytes 5-6 are a cok's version: 07 at offset 6 alone reads 0x0700
            ("lvm7", "cok", 7, b"lvm7\0\0\x07\0", "holds version 1792", True),
            ("lvm3", "3bs", 7, b"lvm3\0\0\x08\x07", "holds version 8", True),
            ("lvl", "lng", 12, b"[main]\r\nx\r\n[LangVer]\r\n13\r\n", "holds version 13", True),
            ("lvl", "lng", 12, b"[LangVer]\r\n13\r\n[words]\r\n", "holds version 13", True),
            ("lvl", "lng", 12, b"[langver]\r\n12 \r\n", "holds no readable version", True),
            ("lvm0", "pak", 215, b"lvm0\x22", "holds no readable version", True),
            ("lvm0", "pak", 215, None, "cannot read the package file", True),
            ("lvm0", "pak", 215, 1536 * 1024 * 1024 + 1, "more than the 1610612736 bytes", True),
            ("lvx", "exe", "215.0", setup, "holds version '215'", True),
            ("lvx", "exe", "216", other_product, "holds version '215'", True),
            ("con", "pak", 215, b"", "cannot be a resource and file name", False),
            ("a" * 33, "pak", 215, b"", "cannot be a resource and file name", False),
            ("lvm0", "pa", 215, b"", "cannot be a resource type", False),
            ("lvm0", "pka", 215, b"", "no version rule (the kinds with one: pak, cok, 3bs, lng, exe)", False),
            ("lvm0", "pak", 215, b"", "a pak package has a version rule", False, versionless),
            ("lvm0", "pak", 65536, b"", "not a whole number from 0 to 65535", False),
        ]
        for name, kind, version, data, says, names_file, *extra in rows:
            with self.subTest(kind=kind, says=says), tempfile.TemporaryDirectory() as tmp:
                path, package, result = self.generate(tmp, name, kind, version, data, extra="".join(extra))
                self.assertNotEqual(result.returncode, 0)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertIn(says, result.stderr)
                self.assertTrue(result.stderr.startswith(path + ": "), result.stderr)
                self.assertEqual(package in result.stderr, names_file, result.stderr)
                self.assertFalse(os.path.exists(os.path.join(tmp, "out")))

    def test_what_the_build_needs_before_it_starts_is_accepted_up_to_the_limits(self):
        rows = [
            # name, kind, package size or content, what the description has before and after its keys
            ("lvm0", "pak", 1536 * 1024 * 1024, "", ""),  # sparse: never read here
            ("a" * 32, "pak", b"", "", ""),
            ("lvm0", "pak", b"", "\ufeff", ""),  # a byte-order mark, as Windows editors write
            ("lvd", "dat", b"", "", "versionless = yes\n"),
        ]
        for name, kind, data, head, extra in rows:
            with self.subTest(name=name, kind=kind, head=head, extra=extra), tempfile.TemporaryDirectory() as tmp:
                path, package, result = self.generate(tmp, name, kind, 215, data, extra=extra, head=head,
                                                      step="describe")
                self.assertEqual((result.returncode, result.stderr), (0, ""))
                self.assertEqual(result.stdout.splitlines(), [name, package])

    def test_the_detection_script_reads_each_kind_by_its_own_rule(self):
        with open(SHIPPED_SETUP, "rb") as f:
            setup = f.read()
        rows = [
            # name, kind, version, file content, what the script must say
            ("lvm0", "pak", 215, b"lvm0\x22\x02\xd7\x00", ["'lvm0.pak'", "byte[] 8", "$bytes[6 + $i]", "$i = 2 - 1", "-ge 215"]),
            ("lvm7", "cok", 7, b"lvm7\0\x07\0", ["'lvm7.cok'", "byte[] 7", "$bytes[5 + $i]", "-ge 7"]),
            ("lvm3", "3bs", 8, b"lvm3\0\0\x08", ["'lvm3.3bs'", "$bytes[6 + $i]", "$i = 1 - 1", "-ge 8"]),
            ("lvl", "lng", 13, b"[LangVer]\r\n13\r\n", ["'lvl.lng'", "StartsWith('[langver]')", "-ge 13"]),
            ("lvx", "exe", "215", setup, ["'lvx.exe'", "FileVersionInfo", "'215'.Split('.')"]),
            ("lvd", "dat", 1, b"data", ["'lvd.dat'", "'3a6eb0790f39ac87c94f3856b2dd2c5d110e6811602261a9a923d3bb23adc8b7'"]),
        ]
        for name, kind, version, data, says in rows:
            with self.subTest(kind=kind), tempfile.TemporaryDirectory() as tmp:
                extra = "" if kind != "dat" else "versionless = yes\n"
                _, _, result = self.generate(tmp, name, kind, version, data, extra=extra, step="detection")
                self.assertEqual(result.returncode, 0, result.stderr)
                for text in says + ["'Lingvaro.exe'", "Write-Output 'Installed'"]:
                    self.assertIn(text, result.stdout)

    def test_a_matching_package_becomes_its_resource_entry_under_russian(self):
        with tempfile.TemporaryDirectory() as tmp:
            data = b"lvm7\0\x07\0" + bytes(range(10))
            _, _, result = self.generate(tmp, "lvm7", "cok", 7, data, "real file.bin")
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(os.path.join(tmp, "out", "package.res"), "rb") as f:
                entry = f.read()
            # size, header size, "COK", "LVM7", data version, flags, language 1049, version, characteristics
            header = struct.pack("<II", 17, 44) + "COK\0LVM7\0\0".encode("utf-16-le") + \
                struct.pack("<IHHII", 0, 0x30, 0x419, 0, 0)
            self.assertEqual(entry, header + data + b"\0" * 3)
            with open(os.path.join(tmp, "out", "package_values.cpp"), encoding="utf-8") as f:
                values = f.read()
            self.assertIn('config.PackageTitle = "\\"Тест\\" версии ";', values)
            self.assertIn("config.PackageVersion = 7;", values)
            for value in ('config.FullTitle = "\\"Тест\\" версии 7";', 'config.PackageFileName = "lvm7.cok";',
                          'config.ApplicationExecutable = "Lingvaro.exe";', 'config.CaptionEn = "Lingvaro update";',
                          'config.CaptionRu = "Обновление Lingvaro";', 'config.ProductShortName = "Lingvaro";'):
                self.assertIn(value, values)

    def test_only_the_split_name_becomes_two_resources_and_a_split_package(self):
        for name, split in (("lvq", True), ("lvm7", False)):
            with self.subTest(name=name), tempfile.TemporaryDirectory() as tmp:
                _, _, result = self.generate(tmp, name, "cok", 7, b"lvm7\0\x07\0" + bytes(range(10)))
                self.assertEqual(result.returncode, 0, result.stderr)
                with open(os.path.join(tmp, "out", "package_values.cpp"), encoding="utf-8") as f:
                    self.assertIn("config.SplitPackage = %s;" % ("true" if split else "false"), f.read())
                with open(os.path.join(tmp, "out", "package.res"), "rb") as f:
                    self.assertEqual("LVQ1\0".encode("utf-16-le") in f.read(), split)


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
