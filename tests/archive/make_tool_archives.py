#!/usr/bin/env python3
"""Makes the zip archives of the archive tests with real tools.

Usage: make_tool_archives.py OUTPUT_FOLDER

Writes OUTPUT_FOLDER/content/ (the files that go into the archives) and one
archive per tool and setting next to it. The content is deterministic, so the
tests compare what they read with the files under content/.
"""

import os
import random
import shutil
import subprocess
import sys
import zipfile

# Names inside every archive; "Sub/Folder/Model.dat" checks that separators
# and letter case are kept.
README = "readme.txt"
DATA = "data.bin"
EMPTY = "empty.txt"
MODEL = "Sub/Folder/Model.dat"
NAMES = [README, DATA, EMPTY, MODEL]

FIXED_TIME = 1262304000  # 2010-01-01, so the tools write the same headers every time


def game_like_bytes(size, seed):
    """Text tables, repeated binary records and some incompressible noise."""
    rng = random.Random(seed)
    out = bytearray()
    while len(out) < size:
        kind = rng.randrange(3)
        if kind == 0:
            for i in range(rng.randrange(20, 80)):
                out += b"item_%05d\tlevel=%d\tprice=%d\tname=Sword of %s\r\n" % (
                    rng.randrange(100000), rng.randrange(100), rng.randrange(10**6),
                    rng.choice([b"Dawn", b"Dusk", b"Ash", b"Frost"]))
        elif kind == 1:
            record = bytes(rng.randrange(256) for _ in range(48))
            for i in range(rng.randrange(10, 60)):
                out += record[:40] + i.to_bytes(4, "little") + record[44:]
        else:
            out += rng.randbytes(rng.randrange(1000, 6000))
    return bytes(out[:size])


def write_content(folder):
    files = {
        README: b"Welcome to the game.\r\nVersion 2.0.1\r\n" * 40,
        # Several 16384-byte windows, several input blocks, and a size that is
        # not a multiple of 10240.
        DATA: game_like_bytes(250000, 1),
        EMPTY: b"",
        MODEL: game_like_bytes(40000, 2),
    }
    for name, data in files.items():
        path = os.path.join(folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (FIXED_TIME, FIXED_TIME))


def run(args, cwd, stdin=None):
    subprocess.run(args, cwd=cwd, check=True, input=stdin, stdout=subprocess.DEVNULL)


def python_zip(path, content, compression, names):
    with zipfile.ZipFile(path, "w", compression=compression) as archive:
        for name in names:
            archive.write(os.path.join(content, name), name)


def main():
    out = os.path.abspath(sys.argv[1])
    content = os.path.join(out, "content")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(content)
    write_content(content)

    def archive(name):
        return os.path.join(out, name)

    python_zip(archive("python_stored.zip"), content, zipfile.ZIP_STORED, NAMES)
    python_zip(archive("python_deflated.zip"), content, zipfile.ZIP_DEFLATED, NAMES)
    python_zip(archive("python_empty.zip"), content, zipfile.ZIP_STORED, [])

    # Info-ZIP writes extra fields, longer in the local header than in the
    # directory; -D leaves out folder entries, -X is not given on purpose.
    run(["zip", "-q", "-D", archive("infozip_deflated.zip")] + NAMES, content)
    run(["zip", "-q", "-D", "-0", archive("infozip_stored.zip")] + NAMES, content)
    run(["zip", "-q", "-D", archive("infozip_comment.zip")] + NAMES, content)
    run(["zip", "-q", "-z", archive("infozip_comment.zip")], content, stdin=b"release 2.0.1\n")

    seven = ["7zz", "a", "-tzip", "-bso0", "-bsp0"]
    run(seven + [archive("7zz_deflated.zip")] + NAMES, content)
    run(seven + ["-mm=BZip2", archive("7zz_bzip2.zip")] + NAMES, content)
    run(seven + ["-mm=LZMA", archive("7zz_lzma.zip")] + NAMES, content)

    # bsdtar writes data descriptors: the local headers carry no sizes.
    run(["bsdtar", "--format", "zip", "-cf", archive("bsdtar_deflated.zip")] + NAMES, content)
    run(["bsdtar", "--format", "zip", "--options", "zip:compression=store", "-cf",
         archive("bsdtar_stored.zip")] + NAMES, content)


if __name__ == "__main__":
    main()
