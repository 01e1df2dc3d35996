#!/usr/bin/env bash
# qelpatch-console.exe, the console patcher for Windows, under Wine against
# the sample game (scripts/make-sample-game), the releases made by the Linux
# builder. First the make-up of the 32-bit program: PE32, a console program,
# only Windows system DLLs imported, a manifest that asks for "asInvoker".
# Then one run per row of CASES, on a game folder whose name the ANSI code
# page cannot spell (given as a Windows path: drive letter, backslashes),
# checked by exit code, the last line on standard output, the text that says
# why, and the folder afterwards: the new version, or as it was (no working
# file left). A row with a prompt runs on a pseudo-terminal, so that the
# program meets a console, and types its keys once the prompt shows.
# Where no 32-bit program runs, the rows run the windows64 build instead,
# and the script says so and exits 77 (the 32-bit runs skipped).
#
# Environment: QELPATCH_WINDOWS_BUILD (default build/windows) holds
# bin/qelpatch-console.exe and bin/QelPatch-stub.exe; QELPATCH_WINDOWS64_BUILD
# (default build/windows64) the 64-bit one; QELPATCH_LINUX_BUILD (default
# build/linux) bin/qelpatch-build.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${QELPATCH_WINDOWS_BUILD:-$ROOT/build/windows}
BUILDER=${QELPATCH_LINUX_BUILD:-$ROOT/build/linux}/bin/qelpatch-build
STUB=$BUILD/bin/QelPatch-stub.exe
ON_TERMINAL=$ROOT/tests/e2e/lib/on_terminal.py

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
source "$ROOT/tests/e2e/lib/wine.bash"
RUNS=$BUILD
export WINEARCH=win32
if [ "$QELPATCH_RUNS_32BIT" = no ]; then
  RUNS=${QELPATCH_WINDOWS64_BUILD:-$ROOT/build/windows64}
  export WINEARCH=win64 QEL_WINE=$QEL_WINE64
fi
export WINEPREFIX=$RUNS/wineprefix
source "$ROOT/tests/e2e/lib/display.bash"
EXE=$RUNS/bin/qelpatch-console.exe
WORK=$RUNS/e2e-console
SAMPLE=$WORK/sample
GAME=$WORK/παιχνίδι

log() { echo "console patcher: $*"; }
failed=0
fail() {
  log "FAIL: $*"
  failed=1
}

# Windows' own DLLs; anything else would have to travel beside the program.
SYSTEM_DLLS=" kernel32.dll user32.dll shell32.dll msvcrt.dll "

check_make_up() {
  local program=$BUILD/bin/qelpatch-console.exe dump dll
  dump=$(i686-w64-mingw32-objdump -p "$program") || { fail "make-up: objdump failed"; return; }
  grep -q '^Magic[[:space:]]*010b' <<<"$dump" || fail "make-up: not PE32"
  grep -q 'Subsystem[[:space:]]*00000003' <<<"$dump" || fail "make-up: not a console program"
  for dll in $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z'); do
    [[ $SYSTEM_DLLS == *" $dll "* ]] || fail "make-up: imports $dll"
  done
  grep -q 'level="asInvoker"' "$program" || fail "make-up: the manifest does not ask for asInvoker"
}

# Changes one byte of a package's index, so that it differs from what the
# release expects and the patcher asks about it.
make_differ() {
  python3 - "$1" <<'PYTHON'
import struct, sys
with open(sys.argv[1], "r+b") as f:
    f.seek(20)
    index = struct.unpack("<I", f.read(4))[0]
    f.seek(index + 12)
    byte = f.read(1)
    f.seek(index + 12)
    f.write(bytes([byte[0] ^ 0x5A]))
PYTHON
}

# Terminal output as lines: no escape sequences, no carriage returns.
plain() { sed -E 's/\x1b\[[0-9;?]*[A-Za-z]//g' "$1" | tr -d '\r'; }

# One run per row. The game folder starts as the old version ("old"), or
# with data/sound.pkg differing ("differing"). "prompt=keys" runs it on a
# pseudo-terminal and types the keys at that prompt ("-": standard input
# empty, output redirected). @GAME@ stands for the game folder's Windows
# path; \r is Enter, \x03 Ctrl+C. Folder afterwards: "new", or "same" as
# before the run. Last line: what ends standard output.
#  name             | game      | prompt=keys                  | arguments                                | exit | folder | last line            | why
CASES=(
  "program          | old       | -                            | --release QelPatch.exe --game @GAME@     | 0    | new    | completed            | Patch Complete."
  "typed folder     | old       | Select Directory=@GAME@\r    | --release release.qpd                    | 0    | new    | completed            | Patch Complete."
  "damaged release  | old       | -                            | --release damaged.qpd --game @GAME@      | 1    | same   | failed               | The patch data is damaged; download the patch again"
  "Ctrl+C           | differing | continue patch ?=\x03        | --release release.qpd --game @GAME@      | 1    | same   | failed               | The patch was stopped before it changed the game"
  "missing release  | old       | -                            | --release missing.qpd --game @GAME@      | 3    | same   | -                    | qelpatch-console: cannot open missing.qpd:"
  "bad command line | old       | -                            | --release release.qpd --frobnicate       | 2    | same   | -                    | qelpatch-console: unknown option --frobnicate"
)

trim() {
  local text=$1
  text=${text#"${text%%[![:space:]]*}"}
  echo "${text%"${text##*[![:space:]]}"}"
}

run_case() {
  local name game prompt_keys arguments exit folder last why
  IFS='|' read -r name game prompt_keys arguments exit folder last why <<<"$1"
  name=$(trim "$name") game=$(trim "$game") prompt_keys=$(trim "$prompt_keys")
  arguments=$(trim "$arguments") exit=$(trim "$exit") folder=$(trim "$folder")
  last=$(trim "$last") why=$(trim "$why")
  local windows_game
  windows_game=Z:${GAME//\//\\}
  rm -rf "$GAME" "$WORK/before" && cp -r "$SAMPLE/old" "$GAME"
  [ "$game" = differing ] && make_differ "$GAME/data/sound.pkg"
  cp -r "$GAME" "$WORK/before"
  local args=() arg
  for arg in $arguments; do args+=("${arg//@GAME@/$windows_game}"); done
  local status out=$WORK/out.txt err=$WORK/err.txt
  if [ "$prompt_keys" = - ]; then
    (cd "$WORK" && env -u QELPATCH_INSTALL_PATH timeout 120 "$QEL_WINE" "$EXE" "${args[@]}" \
      </dev/null >"$out" 2>"$err")
    status=$?
  else
    local keys
    keys=$(printf '%b' "${prompt_keys#*=}")
    keys=${keys//@GAME@/$windows_game}
    (cd "$WORK" && env -u QELPATCH_INSTALL_PATH python3 "$ON_TERMINAL" "${prompt_keys%%=*}" "$keys" \
      "$QEL_WINE" "$EXE" "${args[@]}" >"$out")
    status=$?
    err=$out
  fi
  [ "$status" = "$exit" ] || fail "$name: exit $status: $(plain "$out") $(plain "$err")"
  local ending=
  [ "$last" = completed ] && ending=" Patch is completed."
  [ "$last" = failed ] && ending=" Patch is failed."
  [ "$(plain "$out" | grep -v '^$' | tail -n 1)" = "$ending" ] || [ "$last" = - ] ||
    fail "$name: standard output ends with '$(plain "$out" | tail -n 1)'"
  [ "$last" != - ] || [ ! -s "$out" ] || fail "$name: standard output holds '$(plain "$out")'"
  plain "$err" | grep -qF "$why" || fail "$name: no line '$why' in: $(plain "$err")"
  local expected=$WORK/before
  [ "$folder" = new ] && expected=$SAMPLE/new
  diff -r "$GAME" "$expected" >/dev/null || fail "$name: the folder is not the $folder one"
}

for needed in "$BUILD/bin/qelpatch-console.exe" "$EXE" "$STUB" "$BUILDER"; do
  [ -f "$needed" ] || { log "missing $needed (build the linux and windows presets first)"; exit 1; }
done
check_make_up
rm -rf "$WORK" && mkdir -p "$WORK"
"$ROOT/scripts/make-sample-game" "$SAMPLE" >/dev/null || exit 1
"$BUILDER" "$SAMPLE/old" "$SAMPLE/new" -o "$WORK/release.qpd" --exe "$WORK/QelPatch.exe" --stub "$STUB" -q ||
  { log "qelpatch-build could not make the sample release"; exit 1; }
# A byte of the container's payload flipped.
python3 - "$WORK/release.qpd" "$WORK/damaged.qpd" <<'PYTHON'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[len(data) // 2] ^= 0xFF
open(sys.argv[2], "wb").write(data)
PYTHON
qel_ensure_prefix || { log "cannot make the Wine prefix $WINEPREFIX"; exit 1; }
for row in "${CASES[@]}"; do
  log "$(trim "${row%%|*}")"
  run_case "$row"
done
qel_stop_wine

if [ "$failed" != 0 ]; then
  log "FAILED"
  exit 1
fi
qel_skip_without_32bit "console patcher" \
  "the 32-bit program's make-up passed, and the windows64 build passed every case in its place"
log "all checks passed"
