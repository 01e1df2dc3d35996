#!/usr/bin/env python3
"""Writes the seed corpus of the zip reader fuzzer into corpus/zip/.

Each archive is small and named after what it exercises. Run it again only
to change the corpus; the files are committed.
"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "zip")


def raw_deflate(data):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


class Entry:
    def __init__(self, name, content, deflate=False):
        self.name = name.encode() if isinstance(name, str) else name
        self.local_name = self.name
        self.data = raw_deflate(content) if deflate else content
        self.method = 8 if deflate else 0
        self.flags = 0
        self.crc = zlib.crc32(content)
        self.csize = len(self.data)
        self.usize = len(content)
        self.extra = b""
        self.comment = b""
        self.local_sizes = True  # False: zeros and a data descriptor, as streaming writers do


def build(entries, prefix=b"", comment=b""):
    out = bytearray(prefix)
    offsets = []
    for e in entries:
        offsets.append(len(out) - len(prefix))
        sizes = (e.crc, e.csize, e.usize) if e.local_sizes else (0, 0, 0)
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, e.flags, e.method, 0, 0, *sizes,
                           len(e.local_name), len(e.extra))
        out += e.local_name + e.extra + e.data
        if not e.local_sizes:
            out += struct.pack("<IIII", 0x08074B50, e.crc, e.csize, e.usize)
    start = len(out)
    for e, offset in zip(entries, offsets):
        out += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, e.flags, e.method, 0, 0,
                           e.crc, e.csize, e.usize, len(e.name), len(e.extra), len(e.comment),
                           0, 0, 0, offset)
        out += e.name + e.extra + e.comment
    out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries),
                       len(out) - start, start - len(prefix), len(comment))
    return bytes(out + comment)


def text(n):
    line = b"item_00042\tlevel=7\tprice=1200\tname=Sword of Dawn\r\n"
    return (line * (n // len(line) + 1))[:n]


def main():
    os.makedirs(OUT, exist_ok=True)
    corpus = {}

    corpus["stored_entry.zip"] = build([Entry("readme.txt", text(300))])
    corpus["deflated_entry_several_windows.zip"] = build([Entry("data.bin", text(60000), True)])
    corpus["empty_archive.zip"] = build([])
    corpus["size_zero_stored_and_deflated.zip"] = build(
        [Entry("a", b""), Entry("b", b"", True)])

    e = Entry("with_extra.txt", text(100))
    e.extra = b"UT\x05\x00\x03\x00\x00\x00\x00"
    e.comment = b"entry comment"
    corpus["extra_field_and_comment.zip"] = build([e, Entry("next.txt", text(50), True)])

    e = Entry("streamed.txt", text(5000), True)
    e.flags = 8
    e.local_sizes = False
    corpus["data_descriptor_zero_local_sizes.zip"] = build([e])

    corpus["prepended_prefix.zip"] = build([Entry("p.txt", text(200), True)],
                                           prefix=b"MZ" + bytes(98))
    corpus["duplicate_names.zip"] = build([Entry("same", b"older"), Entry("same", b"newer")])
    corpus["long_name_over_1024.zip"] = build([Entry("n" * 1100, b"x"), Entry("after", b"y")])
    corpus["name_with_zero_byte.zip"] = build([Entry(b"abc\x00def", b"z")])

    e = Entry("name.txt", b"data")
    e.local_name = b"nane.txt"
    corpus["local_name_differs.zip"] = build([e])

    corpus["archive_comment_refused.zip"] = build([Entry("c", b"c")], comment=b"hello")

    e = Entry("bzip2.bin", text(100))
    e.method = 12
    corpus["bzip2_method_refused.zip"] = build([e])

    e = Entry("bad.bin", text(3000), True)
    e.data = b"\xff" * len(e.data)
    corpus["invalid_deflate_stream.zip"] = build([e])

    e = Entry("altered.bin", text(3000))
    e.data = e.data[:-1] + b"!"
    corpus["altered_stored_data_crc.zip"] = build([e])

    e = Entry("bomb.bin", bytes(1 << 20), True)
    e.usize = 1000
    corpus["inflates_past_declared_size.zip"] = build([e])

    e = Entry("short.bin", text(3000), True)
    e.usize = 4000
    corpus["stream_shorter_than_declared.zip"] = build([e])

    e = Entry("zip64.bin", b"z")
    e.usize = 0xFFFFFFFF
    corpus["zip64_placeholder_refused.zip"] = build([e])

    for name, data in corpus.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
