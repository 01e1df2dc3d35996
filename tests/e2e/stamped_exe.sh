#!/usr/bin/env bash
# qelpatch-build writing QelPatch.exe from the stub: for a release of no
# entries, the sample release and one of several megabytes, the program is
# read back by an independent PE reader (Debian's python3-pefile): the new
# section, the image size and the checksum are right, "DAT" 136 under 1042
# holds exactly the release's bytes, the version resource's texts are the
# stub's without their padding (or the product's name and version given),
# everything else is the stub's. Stamping twice gives the same bytes, and
# building with --exe gives the same program as --stamp, a studio's program
# too, whose resources pefile finds to be the studio's background, icon and
# settings. --show reads the release inside, the product's name and version
# and the studio's title and registry value. Refused with a message and no
# output: a signed stub, a stub of another version, a program that is not a
# stub, a release over the limit, a file that is not a release.
#
# Environment: as tests/e2e/qelpatch_exe.sh.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${QELPATCH_WINDOWS_BUILD:-$ROOT/build/windows}
BUILDER=${QELPATCH_LINUX_BUILD:-$ROOT/build/linux}/bin/qelpatch-build
STUB=$BUILD/bin/QelPatch-stub.exe
WORK=$BUILD/e2e-stamped
PYTHON=/usr/bin/python3 # Debian's, which has pefile

log() { echo "stamped: $*"; }
failed=0
fail() {
  log "FAIL: $*"
  failed=1
}

# The program's make-up against the stub and the release, read by pefile;
# the version texts expected follow (description, product name, version).
check_layout() {
  "$PYTHON" - "$STUB" "$@" <<'PYTHON'
import sys, pefile
stub_path, exe_path, release_path, description, product, version = sys.argv[1:]
stub, exe = pefile.PE(stub_path), pefile.PE(exe_path)
release = open(release_path, "rb").read()
problems = []
def need(ok, text):
    if not ok:
        problems.append(text)
need(exe.OPTIONAL_HEADER.CheckSum == exe.generate_checksum(), "wrong checksum")
need(len(exe.sections) == len(stub.sections) + 1, "not one section more than the stub")
last = exe.sections[-1]
need(last.Name.rstrip(b"\0") == b".qpd", "the last section is not .qpd")
align = exe.OPTIONAL_HEADER.SectionAlignment
end = max(s.VirtualAddress + max(s.Misc_VirtualSize, s.SizeOfRawData) for s in exe.sections)
need(exe.OPTIONAL_HEADER.SizeOfImage == -(-end // align) * align, "wrong SizeOfImage")
need(last.VirtualAddress % align == 0 and last.PointerToRawData % exe.OPTIONAL_HEADER.FileAlignment == 0,
     "the new section is not aligned")
found, entry_at, texts = None, None, None
for kind in exe.DIRECTORY_ENTRY_RESOURCE.entries:
    for entry_name in kind.directory.entries:
        for lang in entry_name.directory.entries:
            entry = lang.data.struct
            if str(kind.name) == "DAT" and entry_name.id == 136 and lang.id == 1042:
                found = exe.get_data(entry.OffsetToData, entry.Size)
                entry_at = entry.get_file_offset()
            if kind.id == 16:
                texts = (exe.get_offset_from_rva(entry.OffsetToData), entry.Size)
need(found == release, "DAT 136 1042 does not hold the release")
# A compressed container (manifest version 2) unpacks to the size it names,
# with Python's own xz decoder.
import lzma, struct
body_size = struct.unpack_from("<I", release, len(release) - 12)[0]
body = release[len(release) - 28 - body_size:len(release) - 28]
if struct.unpack_from("<I", body, 0)[0] == 2:
    carried = release[:len(release) - 28 - body_size]
    need(len(lzma.decompress(carried, format=lzma.FORMAT_XZ)) == struct.unpack_from("<I", body, 16)[0],
         "the compressed container does not unpack to the size its manifest names")
strings = {}
for info in exe.FileInfo[0]:
    for table in getattr(info, "StringTable", []):
        strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
need(strings.get("FileDescription") == description and strings.get("ProductName") == product,
     "the names read %s" % strings)
need(strings.get("FileVersion") == version and strings.get("ProductVersion") == version,
     "the versions read %s" % strings)
# Apart from the headers, only the resource's address and size (8 bytes) and
# the version resource's fields differ.
old_bytes, new_bytes = open(stub_path, "rb").read(), open(exe_path, "rb").read()
start = stub.OPTIONAL_HEADER.SizeOfHeaders
changed = [i for i in range(start, len(old_bytes)) if old_bytes[i] != new_bytes[i]]
need(entry_at is not None and texts is not None and
     all(entry_at <= i < entry_at + 8 or texts[0] <= i < texts[0] + texts[1] for i in changed),
     "bytes of the stub changed at %s" % changed[:4])
need(exe.get_warnings() == [], "pefile warns: %s" % exe.get_warnings())
print("; ".join(problems))
sys.exit(1 if problems else 0)
PYTHON
}

# A studio's program against its files, read by pefile: the checksum, the
# release, bitmap 130 the background's resource, icon group 133 naming the
# icon file's images, and the settings.
check_studio() {
  "$PYTHON" - "$@" <<'PYTHON'
import struct, sys, pefile
exe_path, release_path, bmp_path, ico_path = sys.argv[1:]
exe = pefile.PE(exe_path)
problems = []
def need(ok, text):
    if not ok:
        problems.append(text)
need(exe.OPTIONAL_HEADER.CheckSum == exe.generate_checksum(), "wrong checksum")
need(exe.get_warnings() == [], "pefile warns: %s" % exe.get_warnings())
found = {}
for kind in exe.DIRECTORY_ENTRY_RESOURCE.entries:
    for name in kind.directory.entries:
        for lang in name.directory.entries:
            entry = lang.data.struct
            found[(str(kind.name) if kind.name else kind.id, name.id, lang.id)] = \
                exe.get_data(entry.OffsetToData, entry.Size)
need(found.get(("DAT", 136, 1042)) == open(release_path, "rb").read(), "DAT 136 is not the release")
need(found.get((2, 130, 0)) == open(bmp_path, "rb").read()[14:], "bitmap 130 is not the background")
ico = open(ico_path, "rb").read()
group = found.get((14, 133, 0), b"\0" * 6)
count = struct.unpack_from("<H", ico, 4)[0]
need(struct.unpack_from("<H", group, 4)[0] == count, "icon group 133 names other images")
for i in range(min(count, struct.unpack_from("<H", group, 4)[0])):
    size, offset = struct.unpack_from("<II", ico, 6 + 16 * i + 8)
    number = struct.unpack_from("<H", group, 6 + 14 * i + 12)[0]
    need(found.get((3, number, 0)) == ico[offset:offset + size], "icon %d is not image %d" % (number, i))
need((10, 137, 0) in found, "no settings resource")
print("; ".join(problems))
sys.exit(1 if problems else 0)
PYTHON
}

# A refusal: exit 1, the message, no output file.
expect_refusal() {
  local what=$1 expected=$2 out=$3
  shift 3
  local message
  message=$("$@" 2>&1 >/dev/null)
  local status=$?
  [ "$status" = 1 ] || fail "$what: exit $status"
  [[ $message == *"$expected"* ]] || fail "$what: the message says '$message'"
  [ ! -e "$out" ] || fail "$what: $out was written"
  [ -z "$(find "$(dirname "$out")" -maxdepth 1 -name ".$(basename "$out").*")" ] ||
    fail "$what: a temporary file was left"
}

for needed in "$STUB" "$BUILDER"; do
  [ -f "$needed" ] || { log "missing $needed (build the linux and windows presets first)"; exit 1; }
done
rm -rf "$WORK" && mkdir -p "$WORK"
"$ROOT/scripts/make-sample-game" "$WORK/sample" >/dev/null || exit 1

# The releases: none changed, the sample, several megabytes of new files.
mkdir -p "$WORK/big/old" "$WORK/big/new/movies"
head -c 6000000 /dev/urandom >"$WORK/big/new/movies/intro.bik"
head -c 3000000 /dev/urandom >"$WORK/big/new/movies/outro.bik"
cp -r "$WORK/sample/old" "$WORK/sample/same"
"$BUILDER" "$WORK/sample/old" "$WORK/sample/same" -o "$WORK/empty.qpd" >/dev/null 2>&1 ||
  fail "no release of no entries"
"$BUILDER" "$WORK/sample/old" "$WORK/sample/new" -o "$WORK/sample.qpd" --exe "$WORK/built.exe" \
  --stub "$STUB" >/dev/null || fail "the sample release and program could not be built"
"$BUILDER" "$WORK/big/old" "$WORK/big/new" -o "$WORK/big.qpd" >/dev/null || fail "no big release"

for release in empty sample big; do
  "$BUILDER" --stamp "$WORK/$release.qpd" --exe "$WORK/$release.exe" --stub "$STUB" >/dev/null ||
    { fail "$release: not stamped"; continue; }
  why=$(check_layout "$WORK/$release.exe" "$WORK/$release.qpd" "QelPatch game patcher" QelPatch \
    "$("$BUILDER" --version | sed -n 's/^qelpatch-build //p')") || fail "$release: $why"
  "$BUILDER" --stamp "$WORK/$release.qpd" --exe "$WORK/$release-again.exe" --stub "$STUB" >/dev/null
  cmp -s "$WORK/$release.exe" "$WORK/$release-again.exe" || fail "$release: stamped twice, differs"
  shown=$("$BUILDER" --show "$WORK/$release.exe" | head -n 1)
  [[ $shown == *"QelPatch.exe carrying a release of"*"$(stat -c %s "$WORK/$release.qpd") bytes; the patcher accepts it" ]] ||
    fail "$release: --show says '$shown'"
  log "$release: release $(stat -c %s "$WORK/$release.qpd") bytes, program $(stat -c %s "$WORK/$release.exe") bytes"
done
cmp -s "$WORK/built.exe" "$WORK/sample.exe" || fail "--exe and --stamp give different programs"
"$BUILDER" --stamp "$WORK/sample.qpd" --exe "$WORK/named.exe" --stub "$STUB" \
  --product-name "Game patch 1.1 — été" --product-version=1.1.0.7 >/dev/null || fail "named: not stamped"
why=$(check_layout "$WORK/named.exe" "$WORK/sample.qpd" "Game patch 1.1 — été" \
  "Game patch 1.1 — été" 1.1.0.7) ||
  fail "named: $why"
# --show names the product as the program's properties do.
"$BUILDER" --show "$WORK/named.exe" | grep -qxF "program: Game patch 1.1 — été, version 1.1.0.7" ||
  fail "named: --show does not name the product"
# A studio's program: its own background (the stub's, its colours turned
# over, the rows' padding left zeros), QelPatch's icon of three images, a
# title and a registry value.
"$PYTHON" - "$ROOT/resources/background.bmp" "$WORK/studio.bmp" <<'PYTHON'
import sys
picture = bytearray(open(sys.argv[1], "rb").read())
for i in range(54, len(picture)):
    if (i - 54) % 1100 < 1098:
        picture[i] = 255 - picture[i]
open(sys.argv[2], "wb").write(picture)
PYTHON
studio=(--title "Ödland — Patch" --background "$WORK/studio.bmp" --icon "$ROOT/resources/qelpatch.ico"
  --registry-value 'HKEY_LOCAL_MACHINE\SOFTWARE\Ödland\Game\InstallPath')
"$BUILDER" "$WORK/sample/old" "$WORK/sample/new" --exe "$WORK/studio-built.exe" --stub "$STUB" \
  "${studio[@]}" >/dev/null || fail "studio: not built"
"$BUILDER" --stamp "$WORK/sample.qpd" --exe "$WORK/studio.exe" --stub "$STUB" "${studio[@]}" >/dev/null ||
  fail "studio: not stamped"
cmp -s "$WORK/studio-built.exe" "$WORK/studio.exe" || fail "studio: --exe and --stamp give different programs"
why=$(check_studio "$WORK/studio.exe" "$WORK/sample.qpd" "$WORK/studio.bmp" "$ROOT/resources/qelpatch.ico") ||
  fail "studio: $why"
shown=$("$BUILDER" --show "$WORK/studio.exe")
for line in "title: Ödland — Patch" 'registry value: HKLM\SOFTWARE\Ödland\Game\InstallPath' \
  "background: the studio's; icon: the studio's"; do
  grep -qxF "$line" <<<"$shown" || fail "studio: --show does not say '$line'"
done
cmp -s "$WORK/sample.qpd" "$ROOT/resources/sample-release.qpd" ||
  fail "the sample release differs from resources/sample-release.qpd"

# Refusals.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=QelPatch test signer" \
  -keyout "$WORK/key.pem" -out "$WORK/cert.pem" >/dev/null 2>&1
osslsigncode sign -certs "$WORK/cert.pem" -key "$WORK/key.pem" -in "$STUB" \
  -out "$WORK/signed-stub.exe" >/dev/null 2>&1 || fail "the stub could not be signed"
expect_refusal "signed stub" "the stub is signed" "$WORK/out.exe" \
  "$BUILDER" --stamp "$WORK/sample.qpd" --exe "$WORK/out.exe" --stub "$WORK/signed-stub.exe"
"$PYTHON" - "$STUB" "$WORK/old-stub.exe" <<'PYTHON'
import sys
data = open(sys.argv[1], "rb").read()
assert data.count(b"QelPatch stub ") == 1
at = data.index(b"QelPatch stub ") + len(b"QelPatch stub ")
open(sys.argv[2], "wb").write(data[:at] + b"0" + data[at + 1:])
PYTHON
expect_refusal "stub of another version" "not of this builder's version" "$WORK/out.exe" \
  "$BUILDER" --stamp "$WORK/sample.qpd" --exe "$WORK/out.exe" --stub "$WORK/old-stub.exe"
expect_refusal "a finished program as the stub" "already carries a release" "$WORK/out.exe" \
  "$BUILDER" --stamp "$WORK/sample.qpd" --exe "$WORK/out.exe" --stub "$WORK/sample.exe"
expect_refusal "another program as the stub" "not a QelPatch stub" "$WORK/out.exe" \
  "$BUILDER" --stamp "$WORK/sample.qpd" --exe "$WORK/out.exe" --stub "$BUILD/bin/qelpatch_e2e_probe.exe"
expect_refusal "a release folder with a bad stub" "not a QelPatch stub" "$WORK/out.exe" \
  "$BUILDER" "$WORK/sample/old" "$WORK/sample/new" --exe "$WORK/out.exe" --stub "$WORK/cert.pem"
truncate -s $((1024 * 1024 * 1024 + 1)) "$WORK/huge.qpd"
expect_refusal "a release over the limit" "1073741825 bytes, over the limit of 1073741824" \
  "$WORK/out.exe" "$BUILDER" --stamp "$WORK/huge.qpd" --exe "$WORK/out.exe" --stub "$STUB"
rm -f "$WORK/huge.qpd"
expect_refusal "not a release" "the patcher would refuse this release" "$WORK/out.exe" \
  "$BUILDER" --stamp "$WORK/cert.pem" --exe "$WORK/out.exe" --stub "$STUB"
expect_refusal "--show on the stub" "carries no release" "$WORK/none" "$BUILDER" --show "$STUB"

# The time to stamp a release of 48 MB, for the record.
head -c 48000000 /dev/urandom >"$WORK/big/new/movies/intro.bik"
"$BUILDER" "$WORK/big/old" "$WORK/big/new" -o "$WORK/48mb.qpd" >/dev/null
start=$(date +%s%N)
"$BUILDER" --stamp "$WORK/48mb.qpd" --exe "$WORK/48mb.exe" --stub "$STUB" >/dev/null ||
  fail "48 MB: not stamped"
log "stamping a release of $(stat -c %s "$WORK/48mb.qpd") bytes took $((($(date +%s%N) - start) / 1000000)) ms"
rm -f "$WORK/48mb.qpd" "$WORK/48mb.exe" "$WORK/big/new/movies/intro.bik"

if [ "$failed" != 0 ]; then
  log "FAILED"
  exit 1
fi
log "all checks passed"
