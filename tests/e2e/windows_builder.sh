#!/usr/bin/env bash
# qelpatch-build.exe (64-bit Windows) under Wine, side by side with the Linux
# builder: from the sample game it writes the same release and the same
# QelPatch.exe byte for byte, --show and --stamp agree, and bad input is
# refused with the same message and exit code, with no output left (the
# outputs, the folders, the names whose code page tables differ between the
# two systems), and --verify agrees.
#
# Environment: QELPATCH_WINDOWS_TOOLS_BUILD (default build/windows-tools)
# holds bin/qelpatch-build.exe; QELPATCH_WINDOWS_BUILD and QELPATCH_LINUX_BUILD
# as in tests/e2e/qelpatch_exe.sh.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${QELPATCH_WINDOWS_BUILD:-$ROOT/build/windows}
TOOLS=${QELPATCH_WINDOWS_TOOLS_BUILD:-$ROOT/build/windows-tools}
WINDOWS_BUILDER=$TOOLS/bin/qelpatch-build.exe
LINUX_BUILDER=${QELPATCH_LINUX_BUILD:-$ROOT/build/linux}/bin/qelpatch-build
STUB=$BUILD/bin/QelPatch-stub.exe
WORK=$TOOLS/e2e

# A 64-bit prefix of its own: the patcher's suites keep their 32-bit ones.
export WINEPREFIX=$TOOLS/wineprefix64 WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
source "$ROOT/tests/e2e/lib/wine.bash"

log() { echo "windows builder: $*"; }
failed=0
fail() {
  log "FAIL: $*"
  failed=1
}

# Both builders on the same arguments (paths relative to $WORK); their exit
# codes and messages must agree.
both() {
  local what=$1
  shift
  (cd "$WORK" && "$LINUX_BUILDER" "$@") >"$WORK/linux.out" 2>"$WORK/linux.err"
  local linux=$?
  (cd "$WORK" && timeout 120 "$QEL_WINE64" "$WINDOWS_BUILDER" "$@") >"$WORK/windows.out" 2>"$WORK/windows.err"
  local windows=$?
  [ "$linux" = "$windows" ] || fail "$what: exit $linux on Linux, $windows on Windows"
  # Wine may add its own lines; the builder's lines must be the same.
  diff <(grep '^qelpatch-build' "$WORK/linux.err") <(tr -d '\r' <"$WORK/windows.err" | grep '^qelpatch-build') \
    >/dev/null || fail "$what: the messages differ: $(cat "$WORK/linux.err") / $(cat "$WORK/windows.err")"
  BOTH_EXIT=$linux
}

for needed in "$WINDOWS_BUILDER" "$LINUX_BUILDER" "$STUB"; do
  [ -f "$needed" ] || { log "missing $needed (build the linux, windows and windows-tools presets)"; exit 1; }
done
rm -rf "$WORK" && mkdir -p "$WORK"
"$ROOT/scripts/make-sample-game" "$WORK/sample" >/dev/null || exit 1
cp "$STUB" "$WORK/QelPatch-stub.exe"
timeout 300 "$QEL_WINE64" "$WINDOWS_BUILDER" --version >"$WORK/version.out" 2>&1
version=$(tr -d '\r' <"$WORK/version.out" | grep '^qelpatch-build')
[ "$version" = "$("$LINUX_BUILDER" --version)" ] || fail "--version says '$version'"

# The sample release and program, byte for byte; the stub found beside the builder.
(cd "$WORK" && "$LINUX_BUILDER" sample/old sample/new -o linux.qpd --exe linux.exe \
  --stub QelPatch-stub.exe >/dev/null) || fail "the Linux builder failed on the sample"
cp "$WINDOWS_BUILDER" "$WORK/qelpatch-build.exe"
(cd "$WORK" && timeout 120 "$QEL_WINE64" ./qelpatch-build.exe sample/old sample/new -o windows.qpd \
  --exe windows.exe >/dev/null 2>&1) || fail "the Windows builder failed on the sample"
cmp -s "$WORK/linux.qpd" "$WORK/windows.qpd" || fail "the releases differ"
cmp -s "$WORK/linux.exe" "$WORK/windows.exe" || fail "the programs differ"
(cd "$WORK" && timeout 120 "$QEL_WINE64" ./qelpatch-build.exe --stamp linux.qpd --exe stamped.exe >/dev/null 2>&1)
cmp -s "$WORK/linux.exe" "$WORK/stamped.exe" || fail "--stamp gives another program"
# A release that compresses well: both builders write the same xz stream.
mkdir -p "$WORK/texts/old" "$WORK/texts/new/docs"
seq 1 200000 >"$WORK/texts/new/docs/numbers.txt"
seq 5 3 300000 >"$WORK/texts/new/list.txt"
(cd "$WORK" && "$LINUX_BUILDER" texts/old texts/new -o texts-linux.qpd >/dev/null) ||
  fail "the Linux builder failed on the texts"
(cd "$WORK" && timeout 120 "$QEL_WINE64" ./qelpatch-build.exe texts/old texts/new \
  -o texts-windows.qpd >/dev/null 2>&1) || fail "the Windows builder failed on the texts"
cmp -s "$WORK/texts-linux.qpd" "$WORK/texts-windows.qpd" || fail "the compressed releases differ"
[ "$(stat -c %s "$WORK/texts-linux.qpd")" -lt 500000 ] || fail "the texts' release is not compressed"
both "--show" --show windows.exe
cmp -s "$WORK/linux.out" <(tr -d '\r' <"$WORK/windows.out") || fail "--show lists differently"

# Names for players of code page 932: iconv and Windows encode them alike.
rm -rf "$WORK/jp" && cp -r "$WORK/sample/new" "$WORK/jp" && echo x >"$WORK/jp/設定.ini"
# The Linux builder writes first: the Windows one replaces its release. A
# Windows of code page 1252 cannot apply it, so neither checks it here.
both "code page 932" sample/old jp -o jp.qpd --name-code-page 932 --force --no-verify
[ "$BOTH_EXIT" = 0 ] || fail "code page 932: exit $BOTH_EXIT"
mv "$WORK/jp.qpd" "$WORK/jp-windows.qpd"
(cd "$WORK" && "$LINUX_BUILDER" sample/old jp -o jp.qpd --name-code-page 932 --no-verify >/dev/null)
cmp -s "$WORK/jp.qpd" "$WORK/jp-windows.qpd" || fail "code page 932: the releases differ"

# Bad input: each refused alike, nothing written.
bad() {
  local what=$1 folder=$2
  both "$what" sample/old "$folder" -o out.qpd --exe out.exe --stub QelPatch-stub.exe
  [ "$BOTH_EXIT" = 1 ] || fail "$what: exit $BOTH_EXIT"
  [ -z "$(cd "$WORK" && ls -A | grep -E '^(out\.|\.out\.)')" ] || fail "$what: output left"
}
make_bad() {
  rm -rf "$WORK/bad" && cp -r "$WORK/sample/new" "$WORK/bad"
}
bad "a missing folder" nothere
make_bad && cp "$WORK/bad/readme.txt" "$WORK/bad/README.TXT"
bad "names differing in letter case" bad
make_bad && echo x >"$WORK/bad/aux.txt"
bad "a device name" bad
make_bad && echo x >"$WORK/bad/réglages.ini"
bad "a name that is not ASCII" bad
make_bad && echo x >"$WORK/bad/.temp_readme.txt"
bad "a working name" bad
make_bad && echo x >"$WORK/bad/ソフト.ini"
both "a name whose code page 932 bytes end in a backslash" sample/old bad -o out.qpd \
  --name-code-page 932
[ "$BOTH_EXIT" = 1 ] || fail "a name ending in 0x5C in code page 932: exit $BOTH_EXIT"
# Names the code pages' tables of the two systems read differently: each is
# refused by both, by one rule or another, with nothing written.
cp_bad() {
  local what=$1 page=$2 name=$3
  make_bad && echo x >"$WORK/bad/$name"
  (cd "$WORK" && "$LINUX_BUILDER" sample/old bad -o out.qpd --name-code-page "$page") >/dev/null 2>&1
  local linux=$?
  (cd "$WORK" && timeout 120 "$QEL_WINE64" "$WINDOWS_BUILDER" sample/old bad -o out.qpd \
    --name-code-page "$page") >/dev/null 2>&1
  local windows=$?
  [ "$linux" = 1 ] && [ "$windows" = 1 ] || fail "$what: exit $linux on Linux, $windows on Windows"
  [ -z "$(cd "$WORK" && ls -A | grep -E '^(out\.|\.out\.|\.qelpatch-verify)')" ] || fail "$what: output left"
}
cp_bad "a look-alike of ~ in code page 932" 932 "a‾1.txt"
cp_bad "a yen sign in code page 932" 932 "a¥b.txt"
cp_bad "a sign 932 writes as another" 932 "¢.txt"
cp_bad "a tone mark in code page 1258" 1258 "Việt.txt"
cp_bad "a combining grave in code page 1258" 1258 $'a\xcc\x80.txt'
# The outputs and the folders: refused alike, with the same message.
touch "$WORK/out.qpd"
both "an existing release" sample/old sample/new -o out.qpd
[ "$BOTH_EXIT" = 1 ] || fail "an existing release: exit $BOTH_EXIT"
rm -f "$WORK/out.qpd"
both "the program inside the new folder" sample/old sample/new --exe sample/new/out.exe --stub QelPatch-stub.exe
[ "$BOTH_EXIT" = 1 ] || fail "the program inside the new folder: exit $BOTH_EXIT"
[ ! -e "$WORK/sample/new/out.exe" ] || fail "the program inside the new folder: written"
both "one file for both outputs" sample/old sample/new -o out.exe --exe out.exe --stub QelPatch-stub.exe
[ "$BOTH_EXIT" = 1 ] || fail "one file for both outputs: exit $BOTH_EXIT"
both "one folder twice" sample/old sample/old -o out.qpd
[ "$BOTH_EXIT" = 1 ] || fail "one folder twice: exit $BOTH_EXIT"
make_bad && rm "$WORK/bad/readme.txt" && mkdir "$WORK/bad/readme.txt" && echo x >"$WORK/bad/readme.txt/a"
bad "a file that becomes a folder" bad
both "a code page given twice" sample/old sample/new -o out.qpd --name-code-page 932 --name-code-page=932
[ "$BOTH_EXIT" = 2 ] || fail "a code page given twice: exit $BOTH_EXIT"
both "a release checked" --verify sample/old sample/new linux.qpd
[ "$BOTH_EXIT" = 0 ] || fail "a release checked: exit $BOTH_EXIT"
cmp -s "$WORK/linux.out" <(tr -d '\r' <"$WORK/windows.out") || fail "--verify says otherwise"
both "a folder the release does not make" --verify sample/old bad linux.qpd
[ "$BOTH_EXIT" = 1 ] || fail "a folder the release does not make: exit $BOTH_EXIT"
both "a finished program as the stub" --stamp linux.qpd --exe out.exe --stub linux.exe
[ "$BOTH_EXIT" = 1 ] || fail "a finished program as the stub: exit $BOTH_EXIT"
both "usage" sample/old
[ "$BOTH_EXIT" = 2 ] || fail "usage: exit $BOTH_EXIT"

if [ "$failed" != 0 ]; then
  log "FAILED"
  exit 1
fi
log "all checks passed"
