#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into tests/fuzz/corpus/.

Most targets read their input through FuzzedDataProvider, so a readable case
("1.2.3.4 against 1.2.3.5") has to be spelled in the order and encoding in
which the target consumes it. Seed encodes each case that way: numbers and
flags are taken from the end of the input, most significant byte first, and
raw bytes from the front. Each function below follows its target's calls one
for one; a target whose calls change needs its function changed with it (the
old seeds still run, they only mean something else).

Run it after such a change: python3 tests/fuzz/make_seeds.py
"""

import ast
import pathlib
import struct

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"

UINT8, UINT16, UINT32, INT = 8, 16, 32, 32


class Seed:
    def __init__(self):
        self.front = b""
        self.back = []  # in the order the target consumes them

    def in_range(self, value, low, high):
        assert low <= value <= high, (value, low, high)
        span = high - low
        count = (span.bit_length() + 7) // 8
        offset = value - low
        self.back += [(offset >> (8 * (count - 1 - i))) & 0xFF for i in range(count)]

    def integral(self, value, bits):
        self.in_range(value, 0, (1 << bits) - 1)

    def boolean(self, value):
        self.integral(1 if value else 0, UINT8)

    def text(self, value, alphabet, max_length):
        """fuzz_check.h PickText: ASCII as itself, other bytes from the alphabet."""
        data = value.encode("utf-8") if isinstance(value, str) else value
        letters = alphabet.encode("utf-8") if isinstance(alphabet, str) else alphabet
        assert len(data) <= max_length
        self.in_range(len(data), 0, max_length)
        for byte in data:
            self.integral(byte if byte < 128 else 128 + letters.index(byte), UINT8)

    def one_of(self, value, known, bits):
        """fuzz_windows_names PickOneOr."""
        if value in known:
            self.in_range(1, 0, 7)
            self.in_range(known.index(value), 0, len(known) - 1)
        else:
            self.in_range(0, 0, 7)
            self.integral(value, bits)

    def bytes(self):
        return self.front + bytes(reversed(self.back))


def write(target, seeds):
    """Writes each seed, a name and its bytes, into the target's corpus."""
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    for name, data in seeds.items():
        (folder / name).write_bytes(data)


# ------------------------------------------------------------ fuzz_lng_version
def lng_seeds():
    cases = {
        "header_crlf": b"[langver]\r\n12\r\n[other]\r\nx=1\r\n",
        "header_upper_comment_lf": b"[lang]\nname=ru\n[LANGVER] ; version\n-3\n",
        "header_lone_cr": b"[LangVer]\r2147483647\r",
        "header_last_line": b"[a]\r\n1\r\n[langver]",
        "blank_before_header": b" [langver]\r\n5\r\n7",
        "no_header_last_line": b"a\r\nb\r\n7",
        "value_out_of_range": b"[langver]\n2147483648\n",
        "value_minimum": b"[langver]\n-2147483648\n",
        "value_leading_blank": b"[langver]\n  +12\n",
        "value_trailing_blank": b"[langver]\n12 \n",
        "empty": b"",
    }
    write("fuzz_lng_version", cases)


# ------------------------------------------------------- fuzz_is_older_version
OLDER_ALPHABET = "0123456789..........  +-,"


def older_texts(fresh, installed):
    seed = Seed()
    seed.boolean(False)
    seed.text(fresh, OLDER_ALPHABET, 40)
    extended = installed.startswith(fresh) and len(installed) - len(fresh) <= 8
    seed.boolean(extended)
    if extended:
        seed.text(installed[len(fresh):], OLDER_ALPHABET, 8)
    else:
        seed.text(installed, OLDER_ALPHABET, 40)
    return seed.bytes()


def older_fields(fresh, fresh_broken, installed, installed_broken, not_a_number):
    seed = Seed()
    seed.boolean(True)
    for fields in (fresh, installed):
        for field in fields:
            small = field <= 3
            seed.boolean(small)
            seed.in_range(field, 0, 3 if small else 0x7FFFFFFF)
    seed.in_range(fresh_broken, 0, 4)
    seed.in_range(installed_broken, 0, 4)
    seed.text(not_a_number, "0123456789 +-,", 6)
    return seed.bytes()


def is_older_version_seeds():
    pairs = {
        "last_field_lower": ("1.2.3.4", "1.2.3.5"),
        "numbers_not_text": ("1.10.0.0", "1.9.0.0"),
        "equal": ("5.0.2195.6717", "5.0.2195.6717"),
        "two_fields": ("1.2", "1.3"),
        "fewer_fields": ("1.2", "1.2.0.0"),
        "more_fields": ("1.2.0.0", "1.2"),
        "fifth_field": ("1.2.3.4.5", "1.2.3.4"),
        "commas": ("1, 2, 3, 4", "1.2.3.4"),
        "no_version": ("", "2.15"),
        "leading_dot": (".5", "0.4"),
        "signs_and_blanks": (" +1.-2.3. 4", "1.-2.3.4 "),
    }
    seeds = {name: older_texts(*pair) for name, pair in pairs.items()}
    seeds["fields_new_broken"] = older_fields([1, 2, 3, 4], 2, [1, 2, 3, 4], 4, "3a")
    seeds["fields_both_broken"] = older_fields([7, 0, 0, 0], 1, [7, 9, 0, 0], 1, "")
    seeds["fields_large"] = older_fields([2147483647, 0, 1, 2], 4, [2147483647, 0, 1, 3], 4, "")
    write("fuzz_is_older_version", seeds)


# --------------------------------------------------------- fuzz_version_fields
def version_fields_seeds():
    cases = {
        # Bytes 6-7 of a package: D7 00 is 215.
        "pak_215": b"LVMPAK\xd7\x00",
        "pak_unsigned": b"LVMPAK\x00\x80rest",
        "seven_bytes": b"LVMPAK\xd7",
        "cok_odd_offset": b"COK01\x02\x01\x00",
        "3bs_one_byte": b"3BS\x00\x00\x00\x09",
    }
    write("fuzz_version_fields", cases)


# ------------------------------------------------------------- fuzz_tilde_name
def tilde_name(path, kind, russian, installed, fresh):
    seed = Seed()
    seed.text(path, "\\\\\\~!.: \xd0\x96".encode("latin-1"), 64)
    seed.text(kind, "expaklngcok3bsEXE", 4)
    seed.boolean(russian)
    seed.text(installed, "0123456789.", 16)
    seed.text(fresh, "0123456789.", 16)
    return seed.bytes()


def tilde_name_seeds():
    cases = {
        "file": ("C:\\App\\lvm0.pak", "pak", False, "2.15.0.1", "2.14.0.0"),
        "no_folder": ("lvm0.pak", "exe", True, "3", "2"),
        "folder": ("C:\\App\\Data\\", "lng", False, "", ""),
        "empty": ("", "", False, "", ""),
        "marked": ("C:\\App\\!ru.lng", "lng", True, "12", "11"),
        "tilde_name": ("C:\\App\\~x\\~~y", "cok", False, "1", "1"),
        "unc": ("\\\\server\\share\\a b.exe", "EXE", True, "1.0", "0.9"),
    }
    write("fuzz_tilde_name", {name: tilde_name(*case) for name, case in cases.items()})


# ------------------------------------------------------- fuzz_uninstall_folder
def uninstall_folder(value, key, path, cyrillic):
    seed = Seed()
    seed.text(value, b"\\\\\\\"\" /:?.\xd0\x96", 64)
    seed.text(key, "\\\\ab", 32)
    seed.text(path, "\\\\\\\\?.:CUNzx", 32)
    if path:
        seed.boolean(cyrillic)
    return seed.bytes()


def uninstall_folder_seeds():
    cases = {
        "plain": ("C:\\Program Files\\Lingvaro\\uninst.exe",
                  "Software\\Microsoft\\Windows\\", "C:\\x\\", False),
        "trailing_backslash": ("C:\\Apps\\Lingvaro\\", "Software\\", "C:\\", False),
        "quoted": ('"C:\\Program Files\\Lingvaro\\uninst.exe" /S', "Uninstall", "\\\\server\\share\\\\", True),
        "quoted_unclosed": ('"C:\\Apps\\Lingvaro\\u.exe /S', "\\", "\\\\?\\C:\\\\\\", False),
        "quoted_folder": ('"C:\\Apps\\Lingvaro\\"', "", "\\\\?\\UNC\\s\\x", False),
        "no_backslash": ("uninst.exe", "a\\b", "\\\\.\\pipe", False),
        "empty": ("", "", "", False),
    }
    write("fuzz_uninstall_folder", {name: uninstall_folder(*case) for name, case in cases.items()})


# ---------------------------------------------------------- fuzz_windows_names
def printed_outputs():
    """The target's own list of what "ver" prints (kPrinted): a seed picks by index."""
    source = (CORPUS.parent / "fuzz_windows_names.cpp").read_text()
    table = source[source.index("kPrinted[] = {"):]
    table = table[table.index("{") + 1:table.index("};")]
    return [ast.literal_eval(line.strip().rstrip(",")) for line in table.splitlines() if line.strip()]


PRINTED = printed_outputs()
MAJORS = [3, 4, 5, 6, 10, 11]
MINORS = [0, 1, 2, 3, 4, 10, 51, 90]
BUILDS = [950, 1111, 1212, 1213, 1214, 1381, 2222, 9200, 0x040A08AE, 19045]
PLATFORMS = [0, 1, 2]
PRODUCT_TYPES = [0, 1, 2, 3]
ARCHITECTURES = [0, 6, 9, 0xFFFF]


def windows_names(major, minor, build, platform, csd, extended, suite, product, architecture,
                  metrics=(0, 0, 0, 0), product_name=None, product_options=None, hotfix=False,
                  printed=5):
    seed = Seed()
    seed.boolean(False)
    seed.one_of(major, MAJORS, UINT32)
    seed.one_of(minor, MINORS, UINT32)
    seed.one_of(build, BUILDS, UINT32)
    seed.one_of(platform, PLATFORMS, UINT32)
    seed.boolean(csd == "Service Pack 6")
    if csd != "Service Pack 6":
        seed.text(csd, b" ABCW\xd0\x90Service Pack 6a", 16)
    seed.boolean(extended)
    seed.integral(suite, UINT16)
    seed.one_of(product, PRODUCT_TYPES, UINT8)
    seed.one_of(architecture, ARCHITECTURES, UINT16)
    for metric in metrics:
        seed.in_range(metric, -1, 1)
    seed.boolean(product_name is not None)
    if product_name is not None:
        seed.text(product_name, "Windows 10 Pro64x", 24)
    seed.boolean(product_options is not None)
    if product_options is not None:
        seed.boolean(False)
        seed.boolean(product_options == "winnt")
    seed.boolean(hotfix)
    text = PRINTED[printed]
    seed.in_range(printed, 0, len(PRINTED) - 1)
    seed.in_range(len(text), 0, len(text))
    seed.in_range(len(text), len(text), len(text))
    seed.text("", "[] .0123456789Version\r\n", 24)
    return seed.bytes()


def captured_lines(folder, name, output):
    seed = Seed()
    seed.boolean(True)
    seed.text(folder, "C:\\Temp", 12)
    seed.text(name, "abcz", 8)
    seed.front = output
    return seed.bytes()


def windows_names_seeds():
    cases = {
        "ten_reported_as_62": windows_names(6, 2, 9200, 2, "", True, 0x100, 1, 9,
                                            product_name="Windows 10 Pro", printed=2),
        "server_2012_r2_as_62": windows_names(6, 2, 9200, 2, "", True, 0x110, 3, 9, printed=1),
        "seven_32bit": windows_names(6, 1, 7601, 2, "Service Pack 1", True, 0x100, 1, 0,
                                     product_name="Windows 7 Ultimate"),
        "xp_home": windows_names(5, 1, 2600, 2, "Service Pack 3", True, 0x200, 1, 0),
        "xp_x64": windows_names(5, 2, 3790, 2, "Service Pack 2", True, 0x100, 1, 9),
        "server_2003_r2": windows_names(5, 2, 3790, 2, "", True, 0x2, 3, 0, metrics=(0, 0, 0, 1)),
        "nt4_sp6a": windows_names(4, 0, 1381, 2, "Service Pack 6", False, 0, 0, 0,
                                  product_options="winnt", hotfix=True),
        "ninety_eight_se": windows_names(4, 10, 0x040A08AE, 1, " A ", False, 0, 0, 0),
        "ninety_five_osr2": windows_names(4, 0, 1214, 1, " C", False, 0, 0, 0),
        "future_version": windows_names(11, 0, 30000, 2, "", True, 0, 1, 9, printed=3),
        "unknown_platform": windows_names(4, 0, 0, 3, "", False, 0, 0, 0),
        "lines_mixed_ends": captured_lines("C:\\Temp", "abcdzzzz",
                                           b"\r\nMicrosoft Windows [Version 10.0.19045]\r\n\n\rx\r"),
        "lines_no_end": captured_lines("", "a", b"one line"),
        "lines_empty": captured_lines("C:\\Temp\\", "", b""),
    }
    write("fuzz_windows_names", cases)


# ------------------------------------------------------ fuzz_self_check_layout
def pe_file(signed, record_at=0x200, extra_section=False):
    """A 32-bit PE file as the build lays it out: headers, a ".lvmchk"
    section with the stamped record, and (signed) a certificate table
    appended after the covered bytes."""
    body = bytearray(0x300)
    body[0:2] = b"MZ"
    struct.pack_into("<I", body, 0x3C, 0x80)
    body[0x80:0x84] = b"PE\0\0"
    sections = 2 if extra_section else 1
    struct.pack_into("<HHIIIHH", body, 0x84, 0x14C, sections, 0, 0, 0, 224, 0x102)
    optional = 0x98
    struct.pack_into("<H", body, optional, 0x10B)
    struct.pack_into("<I", body, optional + 64, 0x1234)  # checksum
    struct.pack_into("<I", body, optional + 92, 16)      # NumberOfRvaAndSizes
    table = optional + 224
    if extra_section:
        body[table:table + 8] = b".text\0\0\0"
        struct.pack_into("<II", body, table + 16, 0x40, 0x280)
        table += 40
    body[table:table + 8] = b".lvmchk\0"
    struct.pack_into("<II", body, table + 16, 48, record_at)
    body[record_at:record_at + 8] = b"LVM0CHK1"
    struct.pack_into("<I", body, record_at + 8, len(body))
    if signed:
        certificate = b"\x10\x00\x00\x00\x00\x02\x02\x00" + b"\x30" * 8
        struct.pack_into("<II", body, optional + 128, len(body), len(certificate))
        return bytes(body) + certificate
    return bytes(body)


def self_check_layout_seeds():
    def as_file(data):
        seed = Seed()
        seed.in_range(0, 0, 7)  # raw bytes, taken as the file, then read in one piece
        seed.front = data
        return seed.bytes()
    write("fuzz_self_check_layout", {
        "stamped": as_file(pe_file(False)),
        "signed": as_file(pe_file(True)),
        "two_sections": as_file(pe_file(True, record_at=0x2C0, extra_section=True)),
        "not_pe": as_file(b"MZ" + b"\0" * 0x3A + b"\x40\0\0\0" + b"ELF"),
    })


def main():
    lng_seeds()
    is_older_version_seeds()
    version_fields_seeds()
    tilde_name_seeds()
    uninstall_folder_seeds()
    windows_names_seeds()
    self_check_layout_seeds()


if __name__ == "__main__":
    main()
