#!/usr/bin/env bash
# A release whose container unpacks to more than the 32-bit program could
# hold at once (5 new files of 140 MiB, 700 MiB of container, which compress
# to a few MiB) applied by the 32-bit qelpatch-console.exe under Wine from
# the QelPatch.exe the builder made: every file exactly its new version.
# Where no 32-bit program runs, it says so (77).
# Environment: the build folders as in tests/e2e/qelpatch_exe.sh.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${QELPATCH_WINDOWS_BUILD:-$ROOT/build/windows}
BUILDER=${QELPATCH_LINUX_BUILD:-$ROOT/build/linux}/bin/qelpatch-build
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win32
source "$ROOT/tests/e2e/lib/wine.bash"
qel_skip_without_32bit "large release" "the 32-bit program was not run on a release of 700 MiB"
export WINEPREFIX=$BUILD/wineprefix
source "$ROOT/tests/e2e/lib/display.bash"
EXE=$BUILD/bin/qelpatch-console.exe
WORK=$BUILD/e2e-large

log() { echo "large release: $*"; }
for needed in "$EXE" "$BUILD/bin/QelPatch-stub.exe" "$BUILDER"; do
  [ -f "$needed" ] || { log "missing $needed (build the linux and windows presets first)"; exit 1; }
done
rm -rf "$WORK" && mkdir -p "$WORK/old" "$WORK/new"
trap 'rm -rf "$WORK"' EXIT
echo "version 1" >"$WORK/old/readme.txt"
echo "version 2" >"$WORK/new/readme.txt"
# Each file one random MiB of its own, repeated: the compressor finds it.
python3 - "$WORK/new" <<'EOF' || exit 1
import os, random, sys
for n in range(5):
    block = random.Random(n).randbytes(1 << 20)
    with open(os.path.join(sys.argv[1], "data%d.dat" % n), "wb") as out:
        for _ in range(140):
            out.write(block)
EOF
"$BUILDER" "$WORK/old" "$WORK/new" -o "$WORK/release.qpd" --exe "$WORK/QelPatch.exe" \
  --stub "$BUILD/bin/QelPatch-stub.exe" -q || { log "FAIL: the builder refused"; exit 1; }
shown=$("$BUILDER" --show "$WORK/release.qpd") || { log "FAIL: --show refused"; exit 1; }
grep -q "compressed streams, unpacks to 7340" <<<"$shown" ||
  { log "FAIL: not a 700 MiB container carried as streams: $(head -n 5 <<<"$shown")"; exit 1; }
log "QelPatch.exe of $(stat -c %s "$WORK/QelPatch.exe") bytes"

qel_ensure_prefix || { log "cannot make the Wine prefix $WINEPREFIX"; exit 1; }
cp -r "$WORK/old" "$WORK/game"
windows_game=Z:${WORK//\//\\}\\game
start=$(date +%s.%N)
(cd "$WORK" && env -u QELPATCH_INSTALL_PATH timeout 600 "$QEL_WINE" "$EXE" \
  --release QelPatch.exe --game "$windows_game" >"$WORK/out.txt" 2>"$WORK/err.txt")
status=$?
qel_stop_wine
log "applied in $(echo "$(date +%s.%N) - $start" | bc) s, exit $status"
failed=0
[ "$status" = 0 ] || { log "FAIL: exit $status: $(tr -d '\r' <"$WORK/err.txt")"; failed=1; }
tr -d '\r' <"$WORK/out.txt" | grep -qx " Patch is completed." ||
  { log "FAIL: standard output: $(tr -d '\r' <"$WORK/out.txt" | tail -n 3)"; failed=1; }
diff -r "$WORK/game" "$WORK/new" >/dev/null || { log "FAIL: the game is not the new version"; failed=1; }
[ "$failed" = 0 ] || { log "FAILED"; exit 1; }
log "all checks passed"
