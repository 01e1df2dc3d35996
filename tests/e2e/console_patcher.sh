#!/usr/bin/env bash
# qelpatch-console.exe under Wine: the 32-bit program's make-up (PE32, a
# console program, only system DLLs, asInvoker), then a run per row of CASES
# on the sample game (scripts/make-sample-game) in a folder the ANSI code page
# cannot spell, named by its Windows path. Where no 32-bit program runs, the
# windows64 build runs the rows and the script says so (77).
# Environment: the build folders as in tests/e2e/qelpatch_exe.sh.
set -uo pipefail
shopt -s extglob

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${QELPATCH_WINDOWS_BUILD:-$ROOT/build/windows}
BUILDER=${QELPATCH_LINUX_BUILD:-$ROOT/build/linux}/bin/qelpatch-build
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win32
source "$ROOT/tests/e2e/lib/wine.bash"
RUNS=$BUILD
if [ "$QELPATCH_RUNS_32BIT" = no ]; then
  RUNS=${QELPATCH_WINDOWS64_BUILD:-$ROOT/build/windows64}
  export WINEARCH=win64 QEL_WINE=$QEL_WINE64
fi
export WINEPREFIX=$RUNS/wineprefix
source "$ROOT/tests/e2e/lib/display.bash"
PROGRAM=$BUILD/bin/qelpatch-console.exe
EXE=$RUNS/bin/qelpatch-console.exe
WORK=$RUNS/e2e-console
GAME=$WORK/παιχνίδι

log() { echo "console patcher: $*"; }
failed=0
fail() { log "FAIL: $*" && failed=1; }
plain() { tr -d '\r' <"$1"; }

# @GAME@: the game's Windows path; input: the line on standard input (the
# folder typed at the prompt). Folder: the sample's version it holds after.
# Last: " Patch is completed." or " Patch is failed." ends standard output,
# or it is empty. Why: what standard error says.
#  name             | input  | arguments                            | exit | folder | last      | why
CASES=(
  "program          |        | --release QelPatch.exe --game @GAME@ | 0    | new    | completed | Patch Complete."
  "typed folder     | @GAME@ | --release release.qpd                | 0    | new    | completed | Patch Complete."
  "damaged release  |        | --release damaged.qpd --game @GAME@  | 1    | old    | failed    | The patch data is damaged; download the patch again"
  "missing release  |        | --release missing.qpd --game @GAME@  | 3    | old    |           | qelpatch-console: cannot open missing.qpd:"
  "bad command line |        | --release release.qpd --frobnicate   | 2    | old    |           | qelpatch-console: unknown option --frobnicate"
)

run_case() {
  local f name args=() arg status out=$WORK/out.txt err=$WORK/err.txt
  local windows_game=Z:${GAME//\//\\}
  IFS='|' read -ra f <<<"$1"
  f=("${f[@]##+([[:space:]])}") && f=("${f[@]%%+([[:space:]])}")
  name=${f[0]}
  log "$name"
  rm -rf "$GAME" && cp -r "$WORK/sample/old" "$GAME"
  for arg in ${f[2]}; do args+=("${arg//@GAME@/$windows_game}"); done
  (cd "$WORK" && env -u QELPATCH_INSTALL_PATH timeout 120 "$QEL_WINE" "$EXE" "${args[@]}" \
    <<<"${f[1]//@GAME@/$windows_game}" >"$out" 2>"$err")
  status=$?
  [ "$status" = "${f[3]}" ] || fail "$name: exit $status: $(plain "$err")"
  [ "$(plain "$out" | grep -v '^$' | tail -n 1)" = "${f[5]:+ Patch is ${f[5]}.}" ] ||
    fail "$name: standard output: $(plain "$out")"
  plain "$err" | grep -qF "${f[6]}" || fail "$name: nothing says '${f[6]}': $(plain "$err")"
  diff -r "$GAME" "$WORK/sample/${f[4]}" >/dev/null || fail "$name: the folder is not the ${f[4]} one"
}

for needed in "$PROGRAM" "$EXE" "$BUILD/bin/QelPatch-stub.exe" "$BUILDER"; do
  [ -f "$needed" ] || { log "missing $needed (build the linux and windows presets first)"; exit 1; }
done
dump=$(i686-w64-mingw32-objdump -p "$PROGRAM")
grep -q '^Magic[[:space:]]*010b' <<<"$dump" || fail "make-up: not PE32"
grep -q 'Subsystem[[:space:]]*00000003' <<<"$dump" || fail "make-up: not a console program"
for dll in $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z'); do
  [[ " kernel32.dll user32.dll shell32.dll msvcrt.dll " == *" $dll "* ]] || fail "make-up: imports $dll"
done
grep -q 'level="asInvoker"' "$PROGRAM" || fail "make-up: no manifest asking for asInvoker"

rm -rf "$WORK" && mkdir -p "$WORK"
"$ROOT/scripts/make-sample-game" "$WORK/sample" >/dev/null || exit 1
"$BUILDER" "$WORK/sample/old" "$WORK/sample/new" -o "$WORK/release.qpd" --exe "$WORK/QelPatch.exe" \
  --stub "$BUILD/bin/QelPatch-stub.exe" -q || exit 1
# One byte of the container's payload flipped.
python3 -c 'import sys; d = bytearray(open(sys.argv[1], "rb").read()); d[len(d) // 2] ^= 0xFF
open(sys.argv[2], "wb").write(d)' "$WORK/release.qpd" "$WORK/damaged.qpd"
qel_ensure_prefix || { log "cannot make the Wine prefix $WINEPREFIX"; exit 1; }
for row in "${CASES[@]}"; do run_case "$row"; done
qel_stop_wine

[ "$failed" = 0 ] || { log "FAILED"; exit 1; }
qel_skip_without_32bit "console patcher" \
  "the 32-bit program's make-up passed, and the windows64 build passed every row in its place"
log "all checks passed"
