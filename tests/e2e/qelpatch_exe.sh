#!/usr/bin/env bash
# End to end: the real QelPatch.exe under Wine on a private Xvfb display,
# against the sample game (scripts/make-sample-game) that the embedded sample
# release was built from. The program is the one players get: the stub
# stamped with the release by qelpatch-build. First its make-up is checked
# (PE32 GUI, only Windows system DLLs imported, the resources, the same as
# those of the program built with the release), then six runs:
#   completed  the stored path leads to the old game; the result box says
#              " Patch is completed.", the folder then holds the new version
#   declined   a package differs from the release; the question is answered
#              No; " Patch is failed.", exit 1 and no file changed
#   quit       Quit is pressed while the worker is still at work; exit 1,
#              no result box, no file changed
#   cancelled  no stored path, the folder chooser is cancelled; " Patch is
#              failed.", exit 1 and no file changed
#   signed     the program signed with osslsigncode (a throwaway certificate
#              made by openssl), verified, then run as "completed": the
#              signature does not disturb finding the release
#   studio     a studio's own program, stamped with a title (not ASCII), a
#              background, an icon and its own registry value (under HKCU,
#              naming the game folder itself), which alone is stored: the
#              window bears the title and the background, the result box
#              the title; the folder then holds the new version
# Screenshots go to build/windows/e2e/screenshots. Every wait is bounded.
# Where no 32-bit program runs, the make-up is checked all the same (the
# resources read by the 64-bit build's probe), the runs are skipped, and the
# script says so and exits 77.
#
# Environment: QELPATCH_WINDOWS_BUILD (default build/windows) names the build
# that holds bin/QelPatch.exe, bin/QelPatch-stub.exe and
# bin/qelpatch_e2e_probe.exe; QELPATCH_LINUX_BUILD (default build/linux) the
# one that holds bin/qelpatch-build; QELPATCH_WINDOWS64_BUILD (default
# build/windows64) the 64-bit one whose probe reads the resources where no
# 32-bit program runs.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${QELPATCH_WINDOWS_BUILD:-$ROOT/build/windows}
BUILDER=${QELPATCH_LINUX_BUILD:-$ROOT/build/linux}/bin/qelpatch-build
BUILT_EXE=$BUILD/bin/QelPatch.exe
STUB=$BUILD/bin/QelPatch-stub.exe
PROBE=$BUILD/bin/qelpatch_e2e_probe.exe
WORK=$BUILD/e2e
EXE=$WORK/QelPatch.exe
SHOTS=$WORK/screenshots
SAMPLE=$WORK/sample
GAME=$WORK/game
BACKGROUND=$ROOT/resources/background.bmp

export WINEPREFIX=${WINEPREFIX_GUI:-$BUILD/wineprefix-gui} WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# A studio's title and key travel in UTF-8 to Wine and xdotool.
export LC_ALL=C.UTF-8
source "$ROOT/tests/e2e/lib/wine.bash"
if [ "$QELPATCH_RUNS_32BIT" = no ]; then
  # The 64-bit probe reads a 32-bit program's resources as data, in the
  # 64-bit build's prefix.
  WINDOWS64=${QELPATCH_WINDOWS64_BUILD:-$ROOT/build/windows64}
  PROBE=$WINDOWS64/bin/qelpatch_e2e_probe.exe
  export WINEPREFIX=$WINDOWS64/wineprefix-gui WINEARCH=win64 QEL_WINE=$QEL_WINE64
fi
source "$ROOT/tests/e2e/lib/display.bash"

QEL_PROBE=$PROBE
source "$ROOT/tests/e2e/lib/patcher.bash"

log() { echo "e2e: $*"; }
fail() {
  log "FAIL: $*"
  return 1
}

cleanup() {
  qel_stop_wine
  qel_stop_display
}

# Starts QelPatch.exe; PATCHER_PID is the run's process.
start_patcher() {
  timeout 120 wine "$EXE" >"$WORK/patcher.out" 2>&1 &
  PATCHER_PID=$!
}

# Waits up to $2 seconds for the run to end; its exit code in PATCHER_EXIT.
wait_patcher() {
  local i
  for i in $(seq $(($2 * 10))); do
    if ! kill -0 "$PATCHER_PID" 2>/dev/null; then
      wait "$PATCHER_PID"
      PATCHER_EXIT=$?
      return 0
    fi
    sleep 0.1
  done
  fail "$1: QelPatch.exe still running after $2 s"
}

# The result box's text, checked; its window id in BOX. $3: its caption
# (QelPatch unless given), and $4 the main window, when that bears it too.
expect_result() {
  local caption=${3:-QelPatch} text
  BOX=$(qel_wait_window "$caption" 60 "${4:-}") || fail "$1: no result box" || return 1
  text=$(qel_box_text "$caption")
  [ "$text" = "$2" ] || fail "$1: the box says '$text'"
}

# A pixel of an image as text, for comparisons.
pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info:; }

# --- The game folder --------------------------------------------------------

fresh_game() {
  rm -rf "$GAME" && cp -r "$SAMPLE/old" "$GAME"
}

same_folders() { diff -r "$1" "$2" >/dev/null; }

# Changes one byte of a package's index, so its fingerprint differs.
damage_index() {
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

# --- The runs ---------------------------------------------------------------

# Windows' own DLLs; anything else (libstdc++-6.dll, libwinpthread-1.dll,
# zlib1.dll) would have to travel beside the program.
SYSTEM_DLLS=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll msvcrt.dll "

run_contract() {
  local dump dll resources data
  dump=$(i686-w64-mingw32-objdump -p "$EXE") || fail "contract: objdump failed" || return 1
  grep -q '^Magic[[:space:]]*010b' <<<"$dump" || fail "contract: not PE32" || return 1
  grep -q 'Subsystem[[:space:]]*00000002' <<<"$dump" || fail "contract: not a GUI program" || return 1
  for dll in $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z'); do
    [[ $SYSTEM_DLLS == *" $dll "* ]] || fail "contract: imports $dll" || return 1
  done
  resources=$(qel_wine "$PROBE" resources "$(qel_windows_path "$EXE")")
  for expected in "DAT 136 1042 $(stat -c %s "$DATA")" "2 129 0 " "2 130 0 " "14 133 0 " "24 1 0 " \
    "16 1 0 "; do
    grep -q "^$expected" <<<"$resources" || fail "contract: no resource '$expected'" || return 1
  done
  grep -q 'level="asInvoker"' "$EXE" || fail "contract: the manifest does not ask for asInvoker" ||
    return 1
  # The same resources as the program built with the release, as Windows reads them.
  [ "$resources" = "$(qel_wine "$PROBE" resources "$(qel_windows_path "$BUILT_EXE")")" ] ||
    fail "contract: the stamped program's resources differ from the built one's"
}

run_completed() {
  fresh_game
  qel_store_path "$GAME" || return 1
  start_patcher
  qel_wait_window Qel_ManualPatch 30 >/dev/null || fail "completed: no main window" || return 1
  expect_result completed " Patch is completed." || return 1
  # The box moves off the window; the timer repaints what it uncovers.
  qel_move_box_below QelPatch
  sleep 0.7
  qel_screenshot "$SHOTS/completed.png"
  # Behind the box the bar is filled to its end ("Patch Complete.", 100%).
  [ "$(pixel "$SHOTS/completed.png" $((20 + 340)) $((20 + 174)))" = \
    "$(pixel "$BACKGROUND" 340 $((174 + 213)))" ] ||
    fail "completed: the bar is not full behind the box" || return 1
  qel_press_key "$BOX" Return
  wait_patcher completed 30 || return 1
  [ "$PATCHER_EXIT" = 0 ] || fail "completed: exit code $PATCHER_EXIT" || return 1
  same_folders "$GAME" "$SAMPLE/new" || fail "completed: the folder is not the new version"
}

run_declined() {
  fresh_game
  damage_index "$GAME/data/sound.pkg"
  rm -rf "$WORK/before" && cp -r "$GAME" "$WORK/before"
  qel_store_path "$GAME" || return 1
  start_patcher
  local question text
  question=$(qel_wait_window data/sound.pkg 60) || fail "declined: no question" || return 1
  text=$(qel_box_text data/sound.pkg)
  [ "$text" = $'This file is different with PatchFile.\nDo you want to continue patch ?' ] ||
    fail "declined: the question says '$text'" || return 1
  qel_move_box_below data/sound.pkg
  sleep 0.7
  qel_screenshot "$SHOTS/question.png"
  qel_press_key "$question" n
  expect_result declined " Patch is failed." || return 1
  qel_press_key "$BOX" Return
  wait_patcher declined 30 || return 1
  [ "$PATCHER_EXIT" = 1 ] || fail "declined: exit code $PATCHER_EXIT" || return 1
  same_folders "$GAME" "$WORK/before" || fail "declined: files changed"
}

run_quit() {
  fresh_game
  qel_store_path "$GAME" || return 1
  # Another program holds the installed files, so each replace waits about a
  # second for them: the worker is still at work when Quit is pressed.
  local held=() name holder i
  for name in data/map01.pkg data/sound.pkg readme.txt; do
    held+=("$(qel_windows_path "$GAME/$name")")
  done
  timeout 60 wine "$PROBE" hold 20000 "${held[@]}" >"$WORK/hold.out" 2>&1 &
  holder=$!
  for i in $(seq 300); do
    grep -q holding "$WORK/hold.out" 2>/dev/null && break
    sleep 0.1
  done
  grep -q holding "$WORK/hold.out" || fail "quit: the files could not be held" || return 1
  start_patcher
  qel_wait_window Qel_ManualPatch 30 >/dev/null || fail "quit: no main window" || return 1
  # Long enough for the first repaint, well inside the seconds of waiting.
  sleep 0.6
  qel_screenshot "$SHOTS/mid-run.png"
  if qel_window_shown QelPatch; then
    fail "quit: the run ended before Quit was pressed"
    return 1
  fi
  xdotool mousemove "$QEL_QUIT_X" "$QEL_QUIT_Y" click 1
  wait_patcher quit 15 || return 1
  [ "$PATCHER_EXIT" = 1 ] || fail "quit: exit code $PATCHER_EXIT" || return 1
  if qel_window_shown QelPatch; then
    fail "quit: a result box was shown"
    return 1
  fi
  kill "$holder" 2>/dev/null
  wait "$holder" 2>/dev/null
  # Temporary files may stay behind; the installed files must not change.
  local file
  for file in $(cd "$SAMPLE/old" && find . -type f); do
    cmp -s "$GAME/$file" "$SAMPLE/old/$file" || fail "quit: $file changed" || return 1
  done
}

run_signed() {
  local keys=$WORK/signing
  rm -rf "$keys" && mkdir -p "$keys"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=QelPatch test signer" \
    -keyout "$keys/key.pem" -out "$keys/cert.pem" >/dev/null 2>&1 ||
    fail "signed: openssl could not make a certificate" || return 1
  osslsigncode sign -certs "$keys/cert.pem" -key "$keys/key.pem" -n QelPatch -h sha256 \
    -in "$EXE" -out "$keys/QelPatch.exe" >"$keys/sign.out" 2>&1 ||
    fail "signed: osslsigncode sign failed: $(cat "$keys/sign.out")" || return 1
  osslsigncode verify -CAfile "$keys/cert.pem" -in "$keys/QelPatch.exe" >"$keys/verify.out" 2>&1 ||
    fail "signed: osslsigncode verify refused it: $(tail -n 3 "$keys/verify.out")" || return 1
  local unsigned=$EXE
  EXE=$keys/QelPatch.exe
  run_completed
  local status=$?
  EXE=$unsigned
  [ "$status" = 0 ] || fail "signed: the signed program did not complete the patch"
}

run_cancelled() {
  fresh_game
  qel_forget_path
  start_patcher
  qel_wait_window Qel_ManualPatch 30 >/dev/null || fail "cancelled: no main window" || return 1
  local chooser
  chooser=$(qel_wait_window "Browse for Folder" 30) || fail "cancelled: no folder chooser" || return 1
  sleep 0.5
  qel_screenshot "$SHOTS/select-directory.png"
  qel_press_key "$chooser" Escape
  expect_result cancelled " Patch is failed." || return 1
  qel_press_key "$BOX" Return
  wait_patcher cancelled 30 || return 1
  [ "$PATCHER_EXIT" = 1 ] || fail "cancelled: exit code $PATCHER_EXIT" || return 1
  same_folders "$GAME" "$SAMPLE/old" || fail "cancelled: files changed"
}

# A studio's artwork in $1: studio.bmp, the background with its picture's
# colours turned over, and studio.ico, one icon of 32 x 32 pixels.
make_studio_artwork() {
  python3 - "$BACKGROUND" "$1" <<'PYTHON'
import struct, sys
picture = bytearray(open(sys.argv[1], "rb").read())
for row in range(213, 426):  # bottom-up: the window's look is the file's last rows
    start = 54 + row * 1100
    picture[start:start + 1098] = bytes(255 - b for b in picture[start:start + 1098])
open(sys.argv[2] + "/studio.bmp", "wb").write(picture)
pixels = bytes([0x20, 0x80, 0xE0, 0xFF]) * 32 * 32 + bytes(4 * 32)  # colour, then the mask
image = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 32, 0, len(pixels), 0, 0, 0, 0) + pixels
open(sys.argv[2] + "/studio.ico", "wb").write(
    struct.pack("<HHHBBBBHHII", 0, 1, 1, 32, 32, 0, 0, 1, 32, len(image), 22) + image)
PYTHON
}

run_studio() {
  local studio=$WORK/studio title="Ödland — Patch" key='HKCU\Software\Ödland' main
  rm -rf "$studio" && mkdir -p "$studio"
  make_studio_artwork "$studio"
  "$BUILDER" --stamp "$DATA" --exe "$studio/QelPatch.exe" --stub "$STUB" --title "$title" \
    --background "$studio/studio.bmp" --icon "$studio/studio.ico" \
    --registry-value "$key\\InstallPath" >/dev/null || fail "studio: not stamped" || return 1
  qel_wine "$PROBE" resources "$(qel_windows_path "$studio/QelPatch.exe")" | grep -qx "14 133 0 20" ||
    fail "studio: the icon group is not the studio's one image" || return 1
  fresh_game
  qel_forget_path
  qel_wine reg add "$key" /v InstallPath /t REG_SZ /d "$(qel_windows_path "$GAME")" /f >/dev/null ||
    return 1
  local unstamped=$EXE
  EXE=$studio/QelPatch.exe
  start_patcher
  EXE=$unstamped
  main=$(qel_wait_window "$title" 30) || fail "studio: no main window titled '$title'" || return 1
  expect_result studio " Patch is completed." "$title" "$main" || return 1
  qel_move_box_below "$title"
  sleep 0.7
  qel_screenshot "$SHOTS/studio.png"
  [ "$(pixel "$SHOTS/studio.png" $((20 + 60)) $((20 + 60)))" = "$(pixel "$studio/studio.bmp" 60 60)" ] ||
    fail "studio: the window does not show the studio's background" || return 1
  qel_press_key "$BOX" Return
  wait_patcher studio 30 || return 1
  qel_wine reg delete "$key" /f >/dev/null
  [ "$PATCHER_EXIT" = 0 ] || fail "studio: exit code $PATCHER_EXIT" || return 1
  same_folders "$GAME" "$SAMPLE/new" || fail "studio: the folder is not the new version"
}

# --- Main -------------------------------------------------------------------

for needed in "$BUILT_EXE" "$STUB" "$PROBE" "$BUILDER"; do
  [ -f "$needed" ] || { log "missing $needed (build the linux and windows presets first)"; exit 1; }
done
mkdir -p "$WORK" "$SHOTS"
rm -f "$SHOTS"/*.png
DATA=$(sed -n 's/^QELPATCH_DATA:FILEPATH=//p' "$BUILD/CMakeCache.txt")
"$BUILDER" --stamp "$DATA" --exe "$EXE" --stub "$STUB" --force >/dev/null ||
  { log "qelpatch-build could not stamp $DATA"; exit 1; }
"$ROOT/scripts/make-sample-game" "$SAMPLE" || exit 1

qel_stop_wine
qel_ensure_prefix || { log "cannot make the Wine prefix $WINEPREFIX"; exit 1; }
if [ "$QELPATCH_RUNS_32BIT" = no ]; then
  log contract
  run_contract || { qel_stop_wine; log "FAILED: contract"; exit 1; }
  qel_stop_wine
  qel_skip_without_32bit e2e "the make-up of QelPatch.exe passed; it is built but not run"
fi
qel_start_display || exit 1
trap cleanup EXIT

failed=()
for run in contract completed declined quit cancelled signed studio; do
  log "$run"
  if ! "run_$run"; then
    failed+=("$run")
  fi
  # Whatever a failed run left behind ends here, so the next starts clean.
  if [ -n "${PATCHER_PID:-}" ] && kill -0 "$PATCHER_PID" 2>/dev/null; then
    qel_stop_wine
  fi
  PATCHER_PID=
done
qel_forget_path

log "screenshots in $SHOTS"
if [ "${#failed[@]}" -ne 0 ]; then
  log "FAILED: ${failed[*]}"
  exit 1
fi
log "all runs passed"
