#!/usr/bin/env python3
"""Writes the seed corpus of the PE reader and stamper fuzzer into corpus/pe/.

Each seed is a small PE32 program laid out like the one tests/pe/
exe_stamp_test.cpp makes: the headers, one section ".rsrc" holding the
resource tree DAT / 136 / 1042, and that resource's data. The stub's marker
names the project's version (read from CMakeLists.txt), so the stamper takes
the stub seed and mutations of it reach the stamping itself. Each file is
named after what it exercises. Run it again only to change the corpus (or
after a version change); the files are committed.
"""

import os
import re
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "pe")
ROOT = os.path.dirname(os.path.dirname(HERE))

PE = 0x40
OPTIONAL = PE + 24
SECTIONS = OPTIONAL + 224
TREE = 0x200
RESOURCE_ADDRESS = 0x1000


def version():
    with open(os.path.join(ROOT, "CMakeLists.txt")) as f:
        return re.search(r"project\(QelPatch VERSION ([0-9.]+)", f.read()).group(1)


def put16(b, at, v):
    struct.pack_into("<H", b, at, v & 0xFFFF)


def put32(b, at, v):
    struct.pack_into("<I", b, at, v & 0xFFFFFFFF)


def resource_tree(data, type_name=b"DAT", number=136, language=1042):
    """Root (the type, by a name of three letters) -> the number -> the
    language -> the data."""
    t = bytearray(0x60)
    put16(t, 12, 1)
    put32(t, 16, 0x80000058)
    put32(t, 20, 0x80000018)
    put16(t, 0x18 + 14, 1)
    put32(t, 0x28, number)
    put32(t, 0x2C, 0x80000030)
    put16(t, 0x30 + 14, 1)
    put32(t, 0x40, language)
    put32(t, 0x44, 0x48)
    put32(t, 0x48, RESOURCE_ADDRESS + 0x60)
    put32(t, 0x4C, len(data))
    put16(t, 0x58, len(type_name))
    for i, c in enumerate(type_name):
        put16(t, 0x5A + 2 * i, c)
    return bytes(t) + data


def program(tree, sections=1, subsystem=2, headers_size=0x200):
    """Headers and one resource section holding `tree`, file-aligned."""
    raw_size = (len(tree) + 0x1FF) // 0x200 * 0x200
    b = bytearray(TREE + raw_size)
    b[0:2] = b"MZ"
    put32(b, 0x3C, PE)
    b[PE:PE + 4] = b"PE\0\0"
    put16(b, PE + 4, 0x14C)
    put16(b, PE + 6, sections)
    put16(b, PE + 20, 224)
    put16(b, OPTIONAL, 0x10B)
    put32(b, OPTIONAL + 32, 0x1000)
    put32(b, OPTIONAL + 36, 0x200)
    put32(b, OPTIONAL + 56, RESOURCE_ADDRESS + 0x1000)
    put32(b, OPTIONAL + 60, headers_size)
    put16(b, OPTIONAL + 68, subsystem)
    put32(b, OPTIONAL + 92, 16)
    put32(b, OPTIONAL + 96 + 2 * 8, RESOURCE_ADDRESS)
    put32(b, OPTIONAL + 96 + 2 * 8 + 4, len(tree))
    b[SECTIONS:SECTIONS + 5] = b".rsrc"
    put32(b, SECTIONS + 8, raw_size)
    put32(b, SECTIONS + 12, RESOURCE_ADDRESS)
    put32(b, SECTIONS + 16, raw_size)
    put32(b, SECTIONS + 20, TREE)
    put32(b, SECTIONS + 36, 0x40000040)
    b[TREE:TREE + len(tree)] = tree
    return b


def stub():
    return program(resource_tree(("QelPatch stub " + version()).encode()))


def write(name, data):
    os.makedirs(OUT, exist_ok=True)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(bytes(data))


def main():
    write("stub_of_this_version.exe", stub())
    write("stub_of_another_version.exe",
          program(resource_tree(b"QelPatch stub 0.0.1")))
    # An empty release, as QelPatch.exe carries it.
    write("carries_a_release.exe", program(resource_tree(b"\0\0\0\0")))
    write("console_program.exe", program(resource_tree(b"\0\0\0\0"), subsystem=3))
    write("other_type_name.exe", program(resource_tree(b"data", type_name=b"BIN")))

    # A certificate table after the image, as a signing tool appends it:
    # its length, revision 2.0 and type PKCS#7, then the signature's bytes.
    signed = stub()
    certificate = struct.pack("<IHH", 8 + 64, 0x0200, 0x0002) + bytes(range(64))
    put32(signed, OPTIONAL + 96 + 4 * 8, len(signed))
    put32(signed, OPTIONAL + 96 + 4 * 8 + 4, len(certificate))
    write("signed_stub.exe", signed + certificate)

    # Three sections declared, the file cut inside the second header.
    truncated = stub()
    put16(truncated, PE + 6, 3)
    write("truncated_section_table.exe", truncated[:SECTIONS + 40 + 17])

    # Every level points back at the root directory.
    looped = stub()
    put32(looped, TREE + 20, 0x80000000)
    put32(looped, TREE + 0x2C, 0x80000000)
    write("resource_directory_loop.exe", looped)

    # The type name's offset lies past the tree.
    far_name = stub()
    put32(far_name, TREE + 16, 0x8000FFF0)
    write("type_name_past_the_tree.exe", far_name)

    # The data entry names image bytes no section holds.
    far_data = stub()
    put32(far_data, TREE + 0x48, 0x7FFF0000)
    write("resource_data_outside_the_sections.exe", far_data)

    # The headers end right after the section table: no room for ".qpd".
    write("no_room_for_another_section.exe", program(
        resource_tree(("QelPatch stub " + version()).encode()), headers_size=SECTIONS + 40))

    # A 64-bit program and a DOS program whose PE header lies past the end.
    wide = stub()
    put16(wide, PE + 4, 0x8664)
    put16(wide, OPTIONAL, 0x20B)
    write("pe32_plus_program.exe", wide)
    dos = bytearray(0x40)
    dos[0:2] = b"MZ"
    put32(dos, 0x3C, 0x1000)
    write("dos_header_only.exe", dos)


if __name__ == "__main__":
    main()
