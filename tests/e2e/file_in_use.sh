#!/usr/bin/env bash
# End to end: an installed package held open by another Windows process
# (reading shared, no delete or write sharing, as a virus scanner or the game's
# launcher would) while QelPatch.exe commits the sample release. The replace
# of that package waits ten seconds for it, saying so on the status line
# (screenshot waiting.png), and then fails: the package stays byte for byte
# the old one, its temporary file is removed, the other files are old or new,
# the status line names the package and why, the result box says
# " Patch is failed." (screenshot reason.png) and the exit code is 1.
#
# Environment: QELPATCH_WINDOWS_BUILD (default build/windows) names the build
# that holds bin/QelPatch.exe and bin/qelpatch_e2e_probe.exe. Where no 32-bit
# program runs, the script says so and exits 77 (skipped).
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${QELPATCH_WINDOWS_BUILD:-$ROOT/build/windows}
EXE=$BUILD/bin/QelPatch.exe
PROBE=$BUILD/bin/qelpatch_e2e_probe.exe
WORK=$BUILD/e2e-file-in-use
SHOTS=$WORK/screenshots
SAMPLE=$WORK/sample
GAME=$WORK/game
HELD=data/sound.pkg

export WINEPREFIX=${WINEPREFIX_GUI:-$BUILD/wineprefix-gui} WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
source "$ROOT/tests/e2e/lib/wine.bash"
source "$ROOT/tests/e2e/lib/display.bash"
QEL_PROBE=$PROBE
source "$ROOT/tests/e2e/lib/patcher.bash"

log() { echo "file in use: $*"; }
fail() {
  log "FAIL: $*"
  exit 1
}

HOLDER_PID=
PATCHER_PID=
cleanup() {
  [ -n "$HOLDER_PID" ] && kill "$HOLDER_PID" 2>/dev/null
  [ -n "$PATCHER_PID" ] && kill "$PATCHER_PID" 2>/dev/null
  qel_forget_path
  qel_stop_wine
  qel_stop_display
}

for needed in "$EXE" "$PROBE"; do
  [ -f "$needed" ] || { log "missing $needed (build the windows preset first)"; exit 1; }
done
qel_skip_without_32bit "file in use" "QelPatch.exe is built but not run"
mkdir -p "$WORK" "$SHOTS"
"$ROOT/scripts/make-sample-game" "$SAMPLE" >/dev/null || exit 1
rm -rf "$GAME" && cp -r "$SAMPLE/old" "$GAME"

qel_stop_wine
qel_ensure_prefix || fail "cannot make the Wine prefix $WINEPREFIX"
qel_start_display || exit 1
trap cleanup EXIT
qel_store_path "$GAME" || fail "cannot store the installation path"

# The holder keeps the package open far longer than the run takes.
timeout 120 wine "$PROBE" hold 90000 "$(qel_windows_path "$GAME/$HELD")" >"$WORK/hold.out" 2>&1 &
HOLDER_PID=$!
for _ in $(seq 300); do
  grep -q holding "$WORK/hold.out" 2>/dev/null && break
  sleep 0.1
done
grep -q holding "$WORK/hold.out" || fail "the package could not be held"

timeout 120 wine "$EXE" >"$WORK/patcher.out" 2>&1 &
PATCHER_PID=$!
qel_wait_window Qel_ManualPatch 30 >/dev/null || fail "no main window"
# Well inside the ten seconds of waiting for the held package.
sleep 4
qel_screenshot "$SHOTS/waiting.png"
qel_window_shown QelPatch && fail "the run gave up before waiting ten seconds"
box=$(qel_wait_window QelPatch 90) || fail "no result box"
text=$(qel_box_text QelPatch)
[ "$text" = " Patch is failed." ] || fail "the result box says '$text'"
qel_move_box_below QelPatch
sleep 0.7
qel_screenshot "$SHOTS/reason.png"
qel_press_key "$box" Return
for _ in $(seq 300); do
  kill -0 "$PATCHER_PID" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$PATCHER_PID" 2>/dev/null && fail "QelPatch.exe still running after its result"
wait "$PATCHER_PID"
status=$?
PATCHER_PID=
[ "$status" = 1 ] || fail "exit code $status"

cmp -s "$GAME/$HELD" "$SAMPLE/old/$HELD" || fail "the held package changed"
leftovers=$(cd "$GAME" && find . -type f -name '.temp_*')
[ -z "$leftovers" ] || fail "working files left: $leftovers"
for file in $(cd "$SAMPLE/new" && find . -type f); do
  [ -f "$GAME/$file" ] || { [ -f "$SAMPLE/old/$file" ] && fail "$file is missing"; continue; }
  cmp -s "$GAME/$file" "$SAMPLE/new/$file" || cmp -s "$GAME/$file" "$SAMPLE/old/$file" ||
    fail "$file is neither old nor new"
done
log "the held package is intact, no working file is left, the run reports failure; screenshots $SHOTS/waiting.png, $SHOTS/reason.png"
