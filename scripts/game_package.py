"""Game package files (.pkg) as the patcher fingerprints them.

Layout (little-endian):
  offset 0   32  header: magic "QPKG", version, record count, data start,
                 data size, index offset (the word at 20), index size, flags
  32         ... record data, back to back
  index      12  index header: 0, record count, index size in bytes
  index+12   ... one index record per file: a 4-byte length, then that many
                 bytes: offset, size, CRC-32, time (4 bytes each), and the name

Used by the sample game (scripts/make-sample-game) and the benchmark corpus
(bench/release/run).
"""

import struct
import zlib

HEADER_SIZE = 32
# A fixed time stamp keeps packages identical from run to run.
TIME = 0x5F5E1000


def index_record(name, offset, size, crc):
    body = struct.pack("<IIII", offset, size, crc, TIME) + name.encode()
    return struct.pack("<I", len(body)) + body


def write_package(path, records):
    """Writes records [(name, bytes)] in order; returns the index size."""
    with open(path, "wb") as out:
        out.write(bytes(HEADER_SIZE))
        entries = []
        offset = HEADER_SIZE
        for name, data in records:
            out.write(data)
            entries.append(index_record(name, offset, len(data), zlib.crc32(data)))
            offset += len(data)
        index_body = b"".join(entries)
        index_size = 12 + len(index_body)
        out.write(struct.pack("<III", 0, len(records), index_size))
        out.write(index_body)
        out.seek(0)
        out.write(struct.pack("<4sIIIIIII", b"QPKG", 2, len(records), HEADER_SIZE,
                              offset - HEADER_SIZE, offset, index_size, 0))
    return index_size
