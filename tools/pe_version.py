"""Reads the version resource (VS_VERSIONINFO) of a PE file, as Windows'
version functions see it: the first translation of VarFileInfo\\Translation
names the string table whose values are read."""
import struct

RT_VERSION = 16


def _sections(data):
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        return None
    count, = struct.unpack_from("<H", data, pe + 6)
    optional_size, = struct.unpack_from("<H", data, pe + 20)
    optional = pe + 24
    magic, = struct.unpack_from("<H", data, optional)
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva, _ = struct.unpack_from("<II", data, directories + 2 * 8)
    table = optional + optional_size
    sections = [struct.unpack_from("<IIII", data, table + 40 * i + 8) for i in range(count)]
    return resource_rva, sections  # (virtual size, rva, raw size, raw pointer)


def _offset(sections, rva):
    for virtual_size, start, raw_size, raw in sections:
        if start <= rva < start + max(virtual_size, raw_size):
            return raw + rva - start
    raise ValueError("RVA outside every section")


def _first_entry(data, base, directory, wanted=None):
    named, ids = struct.unpack_from("<HH", data, directory + 12)
    for i in range(named + ids):
        ident, target = struct.unpack_from("<II", data, directory + 16 + 8 * i)
        if wanted is None or (not ident & 0x80000000 and ident == wanted):
            return target
    return None


def version_block(data):
    """The raw VS_VERSIONINFO of the file's first version resource, or None."""
    try:
        layout = _sections(data)
        if layout is None or not layout[0]:
            return None
        resource_rva, sections = layout
        base = _offset(sections, resource_rva)
        target = _first_entry(data, base, base, RT_VERSION)
        for _ in range(2):  # name, then language
            if target is None or not target & 0x80000000:
                return None
            target = _first_entry(data, base, base + (target & 0x7FFFFFFF))
        if target is None:
            return None
        rva, size = struct.unpack_from("<II", data, base + target)
        start = _offset(sections, rva)
        return data[start:start + size]
    except (struct.error, ValueError):
        return None


def _align(n):
    return (n + 3) & ~3


def parse_block(block, at=0):
    """(key, value bytes, text flag, children, end) of the block at `at`."""
    length, value_length, is_text = struct.unpack_from("<HHH", block, at)
    end = at + length
    key_end = at + 6
    while block[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = block[at + 6:key_end].decode("utf-16-le")
    value_at = _align(key_end + 2)
    value_size = value_length * 2 if is_text else value_length
    value = block[value_at:value_at + value_size]
    children = []
    child = _align(value_at + value_size)
    while child < end:
        parsed = parse_block(block, child)
        children.append(parsed)
        child = _align(parsed[4])
    return key, value, is_text, children, end


def strings(data):
    """The string values of the first translation, and the fixed file info's
    four FILEVERSION numbers; None when the file has no version resource."""
    block = version_block(data)
    if block is None:
        return None
    try:
        _, fixed, _, children, _ = parse_block(block)
        tables, translation = {}, None
        for key, value, _, grandchildren, _ in children:
            if key == "VarFileInfo":
                for var_key, var_value, _, _, _ in grandchildren:
                    if var_key == "Translation" and len(var_value) >= 4:
                        translation = "%04x%04x" % struct.unpack_from("<HH", var_value)
            elif key == "StringFileInfo":
                for table_key, _, _, entries, _ in grandchildren:
                    tables[table_key.lower()] = {
                        k: v.decode("utf-16-le").split("\0")[0] for k, v, _, _, _ in entries}
        if translation is None or translation not in tables:
            return None
        ms, ls = struct.unpack_from("<II", fixed, 8)
        values = dict(tables[translation])
        values["\\fixed"] = (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
        values["\\translation"] = translation
        return values
    except (struct.error, UnicodeDecodeError):
        return None


def file_version_text(data):
    """The "FileVersion" string, as the installer's exe probe reads it; None
    when there is none."""
    values = strings(data)
    return None if values is None else values.get("FileVersion")
