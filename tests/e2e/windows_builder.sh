#!/usr/bin/env bash
# qelpatch-build.exe (64-bit Windows) under Wine, side by side with the Linux
# builder: from the sample game it writes the same release and the same
# QelPatch.exe byte for byte, --show and --stamp agree, and bad input is
# refused with the same message and exit code, with no output left.
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
both "--show" --show windows.exe
cmp -s "$WORK/linux.out" <(tr -d '\r' <"$WORK/windows.out") || fail "--show lists differently"

# Names for players of code page 932: iconv and Windows encode them alike.
rm -rf "$WORK/jp" && cp -r "$WORK/sample/new" "$WORK/jp" && echo x >"$WORK/jp/設定.ini"
both "code page 932" sample/old jp -o jp.qpd --name-code-page 932
[ "$BOTH_EXIT" = 0 ] || fail "code page 932: exit $BOTH_EXIT"
mv "$WORK/jp.qpd" "$WORK/jp-windows.qpd"
(cd "$WORK" && "$LINUX_BUILDER" sample/old jp -o jp.qpd --name-code-page 932 >/dev/null)
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
both "a finished program as the stub" --stamp linux.qpd --exe out.exe --stub linux.exe
[ "$BOTH_EXIT" = 1 ] || fail "a finished program as the stub: exit $BOTH_EXIT"
both "usage" sample/old
[ "$BOTH_EXIT" = 2 ] || fail "usage: exit $BOTH_EXIT"

if [ "$failed" != 0 ]; then
  log "FAILED"
  exit 1
fi
log "all checks passed"
