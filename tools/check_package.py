#!/usr/bin/env python3
"""Turns a package description (packages/NAME.ini) into what the build embeds.

    check_package.py describe DESCRIPTION
        checks the description, and that its package file can be read and is
        not over the limit, then prints the package's name and its file
        (empty: the generated stand-in), one a line, for CMake at configure
        time.
    check_package.py generate DESCRIPTION OUTPUT_DIR
        checks the description and the package file against each other and
        writes, in OUTPUT_DIR, package_values.cpp (PackageValues(): the whole
        TPackageConfig that the entry point hands to the run), version.rc (the
        installer's VERSIONINFO), package.res (the package's resource entries)
        and NAME.KIND (the package file as the installer writes it).
    check_package.py join BASE.res PACKAGE.res OUTPUT.res
        appends the package's entries to the compiled resource script.
    check_package.py facts DESCRIPTION
        checks the description and prints, as shell assignments, the package's
        name, kind, version and file name (package_name, package_kind,
        package_version, package_file), for the scripts around the build.
    check_package.py detection DESCRIPTION
        checks the description and the package file against each other and
        prints a PowerShell detection script for the package: installed when
        Lingvaro's folder holds the file at this version or later, read by the
        kind's own rule (a kind without one: the file with these very bytes).

The description is lines of `key = value`; blank lines and lines starting with
";" or "#" are comments. A value in double quotes is a JSON string (\\" and \\\\
inside), so that a title may begin with a quote or end with a blank; any other
value is taken with its surrounding blanks removed. Keys:
    name     resource name and file name stem, also the description's own stem
    kind     three lower-case letters or digits: resource type and extension;
             one of VERSION_KINDS, or any other with versionless = yes
    version  the package's version: a number, or for "exe" the FileVersion text
    title    PackageTitle, the Russian title that the version follows
    file     the package file, relative to the description's folder; empty or
             absent: the stand-in that tools/make_package.py makes for the kind
    versionless  "yes": the kind has no version rule, and the installer is
             built all the same, without the older-version question
A UTF-8 byte-order mark before the first line is allowed.

Every error ends the tool with one line: the description's path, then what is
wrong.
"""
import hashlib
import json
import os
import re
import struct
import sys

import make_package
import pe_version

KEYS = ("name", "kind", "version", "title", "file", "versionless")
REQUIRED = ("name", "kind", "version", "title")
# Windows gives these names to devices, with any extension.
DEVICE_NAMES = {"con", "prn", "aux", "nul"} | {"com%d" % i for i in range(1, 10)} | \
    {"lpt%d" % i for i in range(1, 10)}
# A letter first: a name of digits only would become a numeric resource id.
NAME_PATTERN = re.compile(r"[a-z][a-z0-9_]{0,31}\Z")
KIND_PATTERN = re.compile(r"[a-z0-9]{3}\Z")
# The version range each numeric kind's field can hold.
NUMERIC_RANGES = {"pak": (0, 0xFFFF), "cok": (0, 0xFFFF), "3bs": (0, 0xFF),
                  "lng": (-2**31, 2**31 - 1)}
# The kinds whose version the installer reads (src/payload); any other kind
# gets no older-version protection, so it must be asked for by name.
VERSION_KINDS = tuple(NUMERIC_RANGES) + ("exe",)
OTHER_KIND_RANGE = (-2**31, 2**31 - 1)
# The largest package the shipped i686 installer carries and installs: its
# image (package included) must load whole into a 32-bit process's 2 GiB, below
# the system DLLs. Under Wine 1.75 GiB still installed; 1.5 GiB leaves room for
# where Windows puts its own DLLs (docs/releasing.md "Packages").
MAX_PACKAGE_BYTES = 1536 * 1024 * 1024
# The package resource's language: Russian, as the application's own packages.
RESOURCE_LANGUAGE = 0x0419
# The application the packages are for, and the installer's captions: the
# version resource and the installer's values (values_source) both take them
# from here.
PRODUCT_NAME = "Lingvaro"
CAPTION_EN = "Lingvaro update"
CAPTION_RU = "Обновление Lingvaro"
APPLICATION_EXECUTABLE = "Lingvaro.exe"
APPLICATION_WINDOW_CLASS = "TLVMainForm"
# The name of the split payload, stored as two resources (NAME1, NAME2).
SPLIT_NAME = "lvq"


class DescriptionError(Exception):
    pass


def fail(path, what):
    raise DescriptionError("%s: %s" % (path, what))


def parse_value(path, number, raw):
    value = raw.strip()
    if not value.startswith('"'):
        return value
    try:
        text = json.loads(value)
    except ValueError:
        fail(path, "line %d: a quoted value must be one JSON string" % number)
    if not isinstance(text, str):
        fail(path, "line %d: a quoted value must be one JSON string" % number)
    return text


def read_description(path):
    try:
        # utf-8-sig: the byte-order mark that Windows editors write goes.
        with open(path, "r", encoding="utf-8-sig") as f:
            lines = f.read().splitlines()
    except (OSError, UnicodeDecodeError) as error:
        fail(path, "cannot read the description (%s)" % (getattr(error, "strerror", None) or error))
    values = {}
    for number, line in enumerate(lines, 1):
        stripped = line.strip()
        if not stripped or stripped[0] in ";#":
            continue
        key, sep, raw = line.partition("=")
        key = key.strip()
        if not sep or key not in KEYS:
            fail(path, "line %d: expected one of %s = value" % (number, ", ".join(KEYS)))
        if key in values:
            fail(path, "line %d: %s is given twice" % (number, key))
        values[key] = parse_value(path, number, raw)
    missing = [k for k in REQUIRED if k not in values]
    if missing:
        fail(path, "no %s given" % " and no ".join(missing))
    values.setdefault("file", "")
    values.setdefault("versionless", "no")
    return values


def checked_description(path):
    d = read_description(path)
    name, kind = d["name"], d["kind"]
    if not NAME_PATTERN.match(name) or name in DEVICE_NAMES:
        fail(path, "name %r cannot be a resource and file name: up to 32 lower-case letters, "
                   "digits or _, a letter first, not a device name" % name)
    stem = os.path.splitext(os.path.basename(path))[0]
    if stem != name:
        fail(path, "name %r differs from the description's file name %r" % (name, stem))
    if not KIND_PATTERN.match(kind):
        fail(path, "kind %r cannot be a resource type and file extension: three lower-case "
                   "letters or digits" % kind)
    if d["versionless"] not in ("yes", "no"):
        fail(path, "versionless is yes or no, not %r" % d["versionless"])
    if (kind in VERSION_KINDS) == (d["versionless"] == "yes"):
        if kind in VERSION_KINDS:
            fail(path, "versionless = yes, but a %s package has a version rule" % kind)
        fail(path, "kind %r has no version rule (the kinds with one: %s); another kind is built "
                   "only with versionless = yes" % (kind, ", ".join(VERSION_KINDS)))
    if kind == "exe":
        if not d["version"] or any(ord(c) < 0x20 for c in d["version"]):
            fail(path, "an exe package's version is its FileVersion text, not %r" % d["version"])
    else:
        low, high = NUMERIC_RANGES.get(kind, OTHER_KIND_RANGE)
        if not re.fullmatch(r"-?[0-9]+", d["version"]) or not low <= int(d["version"]) <= high:
            fail(path, "version %r is not a whole number from %d to %d, as a %s package holds"
                 % (d["version"], low, high, kind))
        d["version"] = int(d["version"])
    if not d["title"] or any(ord(c) < 0x20 for c in d["title"]):
        fail(path, "the title must be one line of text")
    if kind == "exe" and not d["file"]:
        fail(path, "an exe package needs its file: the build makes no stand-in executable")
    if d["file"]:
        d["file"] = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(path)), d["file"]))
    return d


def fixed_offset_version(data, offset, width):
    if len(data) < offset + width:
        return None
    return int.from_bytes(data[offset:offset + width], "little")


BLANKS_AND_CONTROLS = "".join(chr(c) for c in range(33))


def lng_version(data):
    """The value line after [langver], as the installer reads it."""
    lines = re.split(r"\r\n|\n|\r", data.decode("latin-1"))
    if lines and lines[-1] == "":
        lines.pop()
    candidate = None
    for i, line in enumerate(lines):
        candidate = line
        if line.startswith("[") and line.strip(BLANKS_AND_CONTROLS).lower()[1:].startswith("langver]"):
            candidate = lines[i + 1] if i + 1 < len(lines) else None
            break
    if candidate is None or not re.fullmatch(r" *[+-]?[0-9]+", candidate):
        return None
    value = int(candidate)
    return value if -2**31 <= value < 2**31 else None


# Where the installer reads a fixed-field kind's version: offset and width
# in bytes, little-endian (src/payload/version_rules.h).
VERSION_FIELDS = {"pak": (6, 2), "cok": (5, 2), "3bs": (6, 1)}


def version_in_file(kind, data):
    """The version the installer reads from a package of this kind (None: none
    readable), or False for a kind without a version rule."""
    if kind in VERSION_FIELDS:
        return fixed_offset_version(data, *VERSION_FIELDS[kind])
    if kind == "lng":
        return lng_version(data)
    if kind == "exe":
        return pe_version.file_version_text(data)
    return False


def package_size(path, d):
    """The size of the package file, once it is known to be readable and not
    over the limit: what the build needs before it starts."""
    source = d["file"]
    try:
        with open(source, "rb") as f:
            f.read(1)
            size = os.fstat(f.fileno()).st_size
    except OSError as error:
        fail(path, "cannot read the package file %s (%s)" % (source, error.strerror or error))
    if not os.path.isfile(source):
        fail(path, "the package file %s is not a file" % source)
    if size > MAX_PACKAGE_BYTES:
        fail(path, "the package file %s has %d bytes, more than the %d bytes (%d MiB) that the "
             "32-bit installer can carry" % (source, size, MAX_PACKAGE_BYTES, MAX_PACKAGE_BYTES >> 20))
    return size


def package_bytes(path, d):
    if not d["file"]:
        return make_package.stand_in(d["name"], d["kind"], d["version"])
    source = d["file"]
    package_size(path, d)
    try:
        with open(source, "rb") as f:
            data = f.read()
    except OSError as error:
        fail(path, "cannot read the package file %s (%s)" % (source, error.strerror or error))
    found = version_in_file(d["kind"], data)
    if found is not False and found != d["version"]:
        found_text = "no readable version" if found is None else "version %r" % found
        fail(path, "gives version %r, but the package file %s holds %s where a %s package keeps it"
             % (d["version"], source, found_text, d["kind"]))
    return data


def c_string(text):
    # UTF-8 as it is: the sources are UTF-8 and std::string carries UTF-8.
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def package_file_name(d):
    return d["name"] + "." + d["kind"]


def is_split(d):
    return d["name"] == SPLIT_NAME


def full_title(d):
    """The title with its version, as the installer's texts show it."""
    return d["title"] + str(d["version"])


def values_source(path, d):
    version = d["version"]
    version_text = str(version)
    lines = [
        "// Generated from %s by tools/check_package.py: edit the description." % os.path.basename(path),
        '#include "update/package_config.h"',
        "",
        "namespace lvm {",
        "",
        "TPackageConfig PackageValues() {",
        "    TPackageConfig config;",
        "    config.PackageTitle = %s;" % c_string(d["title"]),
        "    config.ResourceName = %s;" % c_string(d["name"]),
        "    config.ResourceType = %s;" % c_string(d["kind"]),
        "    config.PackageFileName = %s;" % c_string(package_file_name(d)),
        "    config.SplitPackage = %s;" % ("true" if is_split(d) else "false"),
    ]
    if isinstance(version, int):
        lines.append("    config.PackageVersion = %d;" % version)
    lines += [
        "    config.PackageVersionText = %s;" % c_string(version_text),
        "    config.FullTitle = %s;" % c_string(full_title(d)),
        "    config.ProductShortName = %s;" % c_string(PRODUCT_NAME),
        "    config.ApplicationExecutable = %s;" % c_string(APPLICATION_EXECUTABLE),
        "    config.MainWindowClass = %s;" % c_string(APPLICATION_WINDOW_CLASS),
        "    config.CaptionEn = %s;" % c_string(CAPTION_EN),
        "    config.CaptionRu = %s;" % c_string(CAPTION_RU),
        "    return config;",
        "}",
        "",
        "}  // namespace lvm",
        "",
    ]
    return "\n".join(lines)


def rc_wide(text):
    # Every character escaped: the resource compiler's code page never matters.
    return 'L"' + "".join("\\x%04x" % ord(c) for c in text) + '"'


def fixed_version(version):
    """The four numbers of VS_FIXEDFILEINFO for a package version."""
    if isinstance(version, int):
        if 0 <= version <= 0xFFFF:
            return (version, 0, 0, 0)
        unsigned = version & 0xFFFFFFFF
        return (unsigned >> 16, unsigned & 0xFFFF, 0, 0)
    fields = version.split(".")
    if len(fields) <= 4 and all(re.fullmatch(r"[0-9]{1,5}", f) and int(f) <= 0xFFFF for f in fields):
        return tuple(int(f) for f in fields) + (0,) * (4 - len(fields))
    return (0, 0, 0, 0)


def version_rc(d):
    version_text = str(d["version"])
    exe_name = d["name"] + "-setup.exe"
    numbers = ",".join(str(n) for n in fixed_version(d["version"]))
    strings = [
        ("FileDescription", "%s - %s" % (CAPTION_EN, full_title(d))),
        ("FileVersion", version_text),
        ("InternalName", exe_name),
        ("OriginalFilename", exe_name),
        ("ProductName", PRODUCT_NAME),
        ("ProductVersion", version_text),
    ]
    lines = [
        "// Generated by tools/check_package.py from the package description.",
        "LANGUAGE 0x%02x, 0x%02x" % (RESOURCE_LANGUAGE & 0x3FF, RESOURCE_LANGUAGE >> 10),
        "1 VERSIONINFO",
        "FILEVERSION " + numbers,
        "PRODUCTVERSION " + numbers,
        "FILEFLAGSMASK 0x3F",
        "FILEFLAGS 0",
        "FILEOS 0x40004",  # VOS_NT_WINDOWS32
        "FILETYPE 1",      # VFT_APP
        "FILESUBTYPE 0",
        "BEGIN",
        '  BLOCK "StringFileInfo"',
        "  BEGIN",
        '    BLOCK "%04X04B0"' % RESOURCE_LANGUAGE,
        "    BEGIN",
    ]
    lines += ['      VALUE "%s", %s' % (key, rc_wide(value)) for key, value in strings]
    lines += [
        "    END",
        "  END",
        '  BLOCK "VarFileInfo"',
        "  BEGIN",
        '    VALUE "Translation", 0x%04X, 1200' % RESOURCE_LANGUAGE,
        "  END",
        "END",
        "",
    ]
    return "\n".join(lines)


def res_entry(type_name, name, data):
    """One entry of a compiled resource file, as the resource compiler writes it."""
    def name_field(text):
        return (text.upper() + "\0").encode("utf-16-le")
    names = name_field(type_name) + name_field(name)
    if len(names) % 4:
        names += b"\0\0"
    header_size = 8 + len(names) + 16
    # DataVersion 0, MemoryFlags MOVEABLE|PURE (0x30), language, Version 0, Characteristics 0.
    header = struct.pack("<II", len(data), header_size) + names + \
        struct.pack("<IHHII", 0, 0x30, RESOURCE_LANGUAGE, 0, 0)
    padding = b"\0" * (-len(data) % 4)
    return header + data + padding


def package_resources(d, data):
    if is_split(d):
        half = len(data) // 2
        return res_entry(d["kind"], d["name"] + "1", data[:half]) + \
            res_entry(d["kind"], d["name"] + "2", data[half:])
    return res_entry(d["kind"], d["name"], data)


def write_if_changed(path, content):
    # An unchanged output keeps its time, so that nothing downstream rebuilds.
    try:
        with open(path, "rb") as f:
            if f.read() == content:
                return
    except OSError:
        pass
    with open(path + ".tmp", "wb") as f:
        f.write(content)
    os.replace(path + ".tmp", path)


def generate(path, out_dir):
    d = checked_description(path)
    data = package_bytes(path, d)
    os.makedirs(out_dir, exist_ok=True)
    write_if_changed(os.path.join(out_dir, "package_values.cpp"), values_source(path, d).encode("utf-8"))
    write_if_changed(os.path.join(out_dir, "version.rc"), version_rc(d).encode("ascii"))
    write_if_changed(os.path.join(out_dir, "package.res"), package_resources(d, data))
    # The package as the installer writes it, for the scripts that compare.
    write_if_changed(os.path.join(out_dir, package_file_name(d)), data)


def shell_quote(text):
    return "'" + str(text).replace("'", "'\\''") + "'"


def facts(path):
    d = checked_description(path)
    return "".join("%s=%s\n" % (key, shell_quote(value)) for key, value in (
        ("package_name", d["name"]), ("package_kind", d["kind"]), ("package_version", d["version"]),
        ("package_file", package_file_name(d))))


# How a detection script reads the installed file's version, by kind: the
# installer's own rules (src/payload), in PowerShell.
FIELD_TEST = """function Test-Package([string]$path) {
    $stream = [System.IO.File]::Open($path, 'Open', 'Read', 'ReadWrite')
    try { $bytes = New-Object byte[] %(end)d; $read = $stream.Read($bytes, 0, %(end)d) } finally { $stream.Dispose() }
    if ($read -lt %(end)d) { return $false }
    $version = 0
    for ($i = %(width)d - 1; $i -ge 0; $i--) { $version = $version * 256 + $bytes[%(offset)d + $i] }
    return $version -ge %(version)d
}
"""
LNG_TEST = """function Test-Package([string]$path) {
    # The line after [langver] (any letter case), a whole number.
    $lines = [System.IO.File]::ReadAllLines($path, [System.Text.Encoding]::GetEncoding(28591))
    for ($i = 0; $i -lt $lines.Count - 1; $i++) {
        if ($lines[$i].Trim().ToLowerInvariant().StartsWith('[langver]')) {
            $version = 0
            if ([int]::TryParse($lines[$i + 1].Trim(), [ref]$version)) { return $version -ge %(version)d }
            return $false
        }
    }
    return $false
}
"""
EXE_TEST = """function Test-Package([string]$path) {
    # The FileVersion text, compared field by field as dotted numbers.
    $text = [System.Diagnostics.FileVersionInfo]::GetVersionInfo($path).FileVersion
    if (-not $text) { return $false }
    $have = $text.Split('.'); $want = '%(version)s'.Split('.')
    for ($i = 0; $i -lt [Math]::Max($have.Count, $want.Count); $i++) {
        $a = 0; $b = 0
        if ($i -lt $have.Count -and -not [int]::TryParse($have[$i].Trim(), [ref]$a)) { return $false }
        if ($i -lt $want.Count) { [void][int]::TryParse($want[$i], [ref]$b) }
        if ($a -ne $b) { return $a -gt $b }
    }
    return $true
}
"""
BYTES_TEST = """function Test-Package([string]$path) {
    # No version rule for this kind: the file with the released bytes.
    $sha = [System.Security.Cryptography.SHA256]::Create()
    $stream = [System.IO.File]::Open($path, 'Open', 'Read', 'ReadWrite')
    try { $hash = -join ($sha.ComputeHash($stream) | ForEach-Object { $_.ToString('x2') }) } finally { $stream.Dispose() }
    return $hash -eq '%(sha256)s'
}
"""


def detection(path):
    d = checked_description(path)
    data = package_bytes(path, d)
    values = {"version": d["version"], "sha256": hashlib.sha256(data).hexdigest()}
    if d["kind"] in VERSION_FIELDS:
        offset, width = VERSION_FIELDS[d["kind"]]
        test = FIELD_TEST % dict(values, offset=offset, width=width, end=offset + width)
    elif d["kind"] == "lng":
        test = LNG_TEST % values
    elif d["kind"] == "exe":
        test = EXE_TEST % values
    else:
        test = BYTES_TEST % values
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "detection.ps1.in")) as f:
        template = f.read()
    version = d["version"] if d["kind"] in VERSION_KINDS else "as released"
    for key, value in (("@NAME@", d["name"]), ("@FILE@", package_file_name(d)),
                       ("@APPLICATION@", APPLICATION_EXECUTABLE),
                       ("@VERSION@", str(version)), ("@DESCRIPTION@", os.path.basename(path)),
                       ("@TEST@", test)):
        template = template.replace(key, value)
    return template


def join(base, package, output):
    with open(base, "rb") as f:
        data = f.read()
    with open(package, "rb") as f:
        data += f.read()
    write_if_changed(output, data)


def main():
    args = sys.argv[1:]
    try:
        if len(args) == 2 and args[0] == "describe":
            d = checked_description(args[1])
            if d["file"]:
                package_size(args[1], d)
            print(d["name"])
            print(d["file"])
        elif len(args) == 3 and args[0] == "generate":
            generate(args[1], args[2])
        elif len(args) == 4 and args[0] == "join":
            join(args[1], args[2], args[3])
        elif len(args) == 2 and args[0] == "facts":
            sys.stdout.write(facts(args[1]))
        elif len(args) == 2 and args[0] == "detection":
            sys.stdout.write(detection(args[1]))
        else:
            sys.exit(__doc__.split("\n\n")[1])
    except DescriptionError as error:
        sys.exit(str(error))


if __name__ == "__main__":
    main()
