#!/usr/bin/env python3
"""Writes the seed corpora of the container fuzzer (corpus/container/) and of
the package index digest fuzzer (corpus/package_digest/).

The seed releases patch the small game folder that container_fuzzer.cpp
installs before each run (game_package below makes the same bytes), so
mutations of them reach the comparison, the copy chunks and the commit.
Each file is small and named after what it exercises. Run it again only to
change the corpus; the files are committed.
"""

import hashlib
import io
import os
import struct
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
CONTAINERS = os.path.join(HERE, "corpus", "container")
PACKAGES = os.path.join(HERE, "corpus", "package_digest")


def u32(value):
    return struct.pack("<I", value & 0xFFFFFFFF)


def package(data, records):
    """32-byte header (word 20: index offset), data, then the index."""
    index_offset = 32 + len(data)
    body = b"".join(u32(len(r)) + r for r in records)
    index = u32(0) + u32(len(records)) + u32(12 + len(body)) + body
    header = bytearray(32)
    header[0:3] = b"QPK"
    header[20:24] = u32(index_offset)
    return bytes(header) + data + index


def game_package(seed, data_size, record_count):
    data = bytes((i * 7 + seed * 13) & 0xFF for i in range(data_size))
    records = [bytes((j * 31 + seed + k) & 0xFF for k in range(5 + j * 3))
               for j in range(record_count)]
    return package(data, records)


OLD_A = game_package(1, 4096, 3)
OLD_B = game_package(2, 3000, 4)


def index_digest(pkg):
    offset = struct.unpack_from("<I", pkg, 20)[0]
    return hashlib.md5(pkg[offset:]).hexdigest()


def text_field(text, size):
    raw = text.encode()
    return raw + b"\0" + b"\xE5" * (size - len(raw) - 1)


class Entry:
    def __init__(self, name, chunks, before="", after=""):
        # chunks: bytes for a payload chunk, (offset, size) for a copy chunk
        self.name, self.chunks, self.before, self.after = name, chunks, before, after


def container(entries):
    out = bytearray(u32(len(entries)))
    for entry in entries:
        payload_size = sum(len(c) for c in entry.chunks if isinstance(c, bytes))
        record = (text_field(entry.name, 1024) + text_field(entry.before, 33) +
                  text_field(entry.after, 33) + b"\xF7\xE5" + u32(payload_size) +
                  u32(len(entry.chunks)))
        assert len(record) == 1100
        out += record
        at = len(out) + 12 * len(entry.chunks)
        for chunk in entry.chunks:
            if isinstance(chunk, bytes):
                out += b"\x01\xF7\xE5\x00" + u32(at) + u32(len(chunk))
                at += len(chunk)
            else:
                out += b"\x00\xFA\xE5\x00" + u32(chunk[0]) + u32(chunk[1])
        for chunk in entry.chunks:
            if isinstance(chunk, bytes):
                out += chunk
    return bytes(out)


def delta(name, old, pieces, records, digest_before=None, digest_after=None):
    """New package: fresh bytes and pieces (offset, size) of the old data."""
    chunks, data = [], b""
    for i, (offset, size) in enumerate(pieces):
        fresh = bytes([0x40 + i]) * (11 + i)
        chunks += [fresh, (32 + offset, size)]
        data += fresh + old[32 + offset:32 + offset + size]
    new = package(data, records)
    index_at = struct.unpack_from("<I", new, 20)[0]
    chunks = [new[:32]] + chunks + [new[index_at:]]
    return Entry(name, chunks,
                 index_digest(old) if digest_before is None else digest_before,
                 index_digest(new) if digest_after is None else digest_after)


def one_entry_zip(name, content, method):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", method) as archive:
        archive.writestr(name, content)
    return buffer.getvalue()


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    records = [b"new-index", b"", b"record three"]
    a = delta("a.pkg", OLD_A, [(2048, 1024), (0, 512), (3000, 1096)], records)
    b = delta("maps/b.pkg", OLD_B, [(100, 900), (1500, 1500)], records[:2])
    whole = Entry("whole.pkg", [package(b"whole package data", [b"w"])])
    setup = Entry("conf/setup.ini",
                  [one_entry_zip("conf/setup.ini", b"volume=7\n" * 30, zipfile.ZIP_DEFLATED)])
    readme = Entry("conf/readme.txt",
                   [one_entry_zip("conf/readme.txt", b"read me\n", zipfile.ZIP_STORED)])

    write(CONTAINERS, "empty_release.qpd", container([]))
    write(CONTAINERS, "one_delta_package.qpd", container([a]))
    write(CONTAINERS, "full_release.qpd", container([a, whole, setup, b, readme]))
    write(CONTAINERS, "whole_package_only.qpd", container([whole]))
    write(CONTAINERS, "archive_entries_only.qpd", container([setup, readme]))
    write(CONTAINERS, "installed_package_differs.qpd",
          container([delta("a.pkg", OLD_A, [(0, 64)], records, digest_before="0" * 32)]))
    write(CONTAINERS, "rebuilt_index_differs.qpd",
          container([delta("a.pkg", OLD_A, [(0, 64)], records, digest_after="f" * 32)]))
    write(CONTAINERS, "copy_chunk_past_installed_end.qpd",
          container([delta("maps/b.pkg", OLD_B, [(2900, 5000)], records)]))
    write(CONTAINERS, "unchecked_delta_package.qpd",
          container([delta("a.pkg", OLD_A, [(10, 20)], records, digest_before="")]))

    write(PACKAGES, "installed_a.pkg", OLD_A)
    write(PACKAGES, "installed_b.pkg", OLD_B)
    write(PACKAGES, "no_records.pkg", package(b"data", []))
    write(PACKAGES, "empty_record.pkg", package(b"", [b"", b"x"]))
    write(PACKAGES, "shorter_than_header.pkg", b"QPK\0\0")
    broken = bytearray(package(b"data", [b"one", b"two"]))
    broken[20:24] = u32(0xFFFFFFF0)
    write(PACKAGES, "index_offset_past_end.pkg", bytes(broken))
    huge = bytearray(package(b"data", [b"one"]))
    huge[36 + 4:36 + 8] = u32(0xFFFFFFFF)
    write(PACKAGES, "record_count_huge.pkg", bytes(huge))
    long_record = bytearray(package(b"data", [b"one"]))
    long_record[36 + 12:36 + 16] = u32(0x7FFFFFFF)
    write(PACKAGES, "record_length_past_end.pkg", bytes(long_record))


if __name__ == "__main__":
    main()
