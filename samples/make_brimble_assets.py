#!/usr/bin/env python3
"""Writes the binary streams of the Brimble Notes sample package.

The files are committed; run this only to change them. Everything is
computed from constants, so the output is the same byte for byte on every
run:
  Binary/bnLogo.ibd        a 32x32 24-bit bitmap (a banner logo)
  Binary/bnHelper.ibd      a tiny PE32 library whose only content is a
                           version resource (FileVersion 2.4.1.17)
  Icon/BrimbleIcon.exe.ibd a 16x16 32-bit icon
  streams/brimble.cab      an empty but well-formed cabinet
"""
import os
import struct
import sys

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "brimble-notes")


def bitmap(width, height):
    row = bytearray()
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            # a blue square with a yellow diagonal band
            band = abs(x - y) < 4
            row += bytes((0x20, 0xD0, 0xF0) if band else (0xB0, 0x60, 0x20))
        row += b"\0" * ((4 - len(row) % 4) % 4)
        rows.append(bytes(row))
    pixels = b"".join(reversed(rows))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


def icon(size):
    pixels = bytearray()
    for y in range(size):
        for x in range(size):
            inside = 2 <= x < size - 2 and 2 <= y < size - 2
            pixels += bytes((0x30, 0x90, 0xE0, 0xFF)) if inside else bytes((0, 0, 0, 0))
    mask = b"\0" * (4 * size)  # 1 bit a pixel, rows padded to 4 bytes
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = info + bytes(pixels) + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def utf16z(text):
    return (text + "\0").encode("utf-16-le")


def pad4(data):
    return data + b"\0" * ((4 - len(data) % 4) % 4)


def version_block(key, value=b"", children=(), text=False):
    """One node of a VS_VERSIONINFO tree: length, value length, type, key, value, children."""
    body = struct.pack("<HHH", 0, 0, 1 if text else 0) + utf16z(key)
    body = pad4(body)
    body += value
    for child in children:
        body = pad4(body) + child
    value_length = len(value) // 2 if text else len(value)
    return struct.pack("<HHH", len(body), value_length, 1 if text else 0) + body[6:]


def version_resource(version, strings):
    major, minor, patch, build = version
    fixed = struct.pack("<13I", 0xFEEF04BD, 0x00010000,
                        (major << 16) | minor, (patch << 16) | build,
                        (major << 16) | minor, (patch << 16) | build,
                        0x3F, 0, 0x00040004, 2, 0, 0, 0)
    table = version_block("040904b0", children=[
        version_block(k, utf16z(v), text=True) for k, v in strings])
    string_info = version_block("StringFileInfo", children=[table])
    var_info = version_block("VarFileInfo", children=[
        version_block("Translation", struct.pack("<HH", 0x0409, 0x04B0))])
    return version_block("VS_VERSION_INFO", fixed, [string_info, var_info])


def resource_section(data, rva):
    """A .rsrc section with one RT_VERSION (16) resource, id 1, language 1033."""
    def directory(entries):
        return struct.pack("<IIHHHH", 0, 0, 0, 0, 0, len(entries)) + b"".join(
            struct.pack("<II", ident, offset) for ident, offset in entries)
    subdir = 0x80000000
    root = directory([(16, subdir | 24)])               # at 0, 16 + 8 bytes
    names = directory([(1, subdir | 48)])               # at 24
    langs = directory([(1033, 72)])                     # at 48, points to the data entry
    data_offset = 72 + 16
    entry = struct.pack("<IIII", rva + data_offset, len(data), 1252, 0)
    return root + names + langs + entry + data


def pe_library(version, strings):
    file_align, section_align = 0x200, 0x1000
    rsrc_rva = 0x1000
    resource = resource_section(version_resource(version, strings), rsrc_rva)
    raw_size = (len(resource) + file_align - 1) // file_align * file_align

    dos = bytearray(64)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 60, 64)
    coff = struct.pack("<4sHHIIIHH", b"PE\0\0", 0x014C, 1, 0x5F5E1000, 0, 0, 224, 0x2102)
    optional = struct.pack("<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII",
                           0x010B, 14, 0, 0, raw_size, 0, 0, 0x1000, 0x1000,
                           0x10000000, section_align, file_align, 6, 0, 2, 4, 6, 0, 0,
                           rsrc_rva + section_align, file_align, 0, 2, 0x0540,
                           0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
    directories = [(0, 0)] * 16
    directories[2] = (rsrc_rva, len(resource))
    optional += b"".join(struct.pack("<II", a, s) for a, s in directories)
    section = struct.pack("<8sIIIIIIHHI", b".rsrc", len(resource), rsrc_rva, raw_size,
                          file_align, 0, 0, 0, 0, 0x40000040)
    headers = bytes(dos) + coff + optional + section
    headers += b"\0" * (file_align - len(headers))
    return headers + resource + b"\0" * (raw_size - len(resource))


def empty_cabinet():
    # header only: no folders, no files
    return struct.pack("<4sIIIIIBBHHHHH", b"MSCF", 0, 36, 0, 36, 0, 3, 1, 0, 0, 0, 0x2A6F, 0)


def write(path, data):
    full = os.path.join(HERE, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as out:
        out.write(data)
    print(f"{path}: {len(data)} bytes")


def main():
    write("Binary/bnLogo.ibd", bitmap(32, 32))
    write("Binary/bnHelper.ibd", pe_library((2, 4, 1, 17), [
        ("CompanyName", "Brimble Software"),
        ("FileDescription", "Brimble Notes setup helper"),
        ("FileVersion", "2.4.1.17"),
        ("InternalName", "bnhelper"),
        ("OriginalFilename", "bnhelper.dll"),
        ("ProductName", "Brimble Notes"),
        ("ProductVersion", "2.4.1"),
    ]))
    write("Icon/BrimbleIcon.exe.ibd", icon(16))
    write("streams/brimble.cab", empty_cabinet())
    return 0


if __name__ == "__main__":
    sys.exit(main())
