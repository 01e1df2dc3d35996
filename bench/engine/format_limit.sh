#!/usr/bin/env bash
# The format's limit: a package of 4 GiB - 1 bytes rebuilt from a 2 GiB copy,
# a 25 MiB payload chunk, a copy of the old package's last bytes and a copy
# filling up to its index (bench/engine/make_limit_release.cpp; the files are
# sparse where the data does not matter). Applied by the Linux patcher and by
# QelPatch.exe (stamped with the release) under Wine, each result compared
# byte for byte with the new package; wall time and peak memory against
# cp + sync of the new package. Needs some 13 GB of free disk in /var/tmp.
#
#   bench/engine/format_limit.sh
set -uo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
scripts/setup >/dev/null || exit 1
cmake --preset linux >/dev/null && cmake --build --preset linux --target qelpatch-bench-limit \
  qelpatch qelpatch-build >/dev/null || exit 1
cmake --preset windows >/dev/null && cmake --build --preset windows --target QelPatchStub \
  qelpatch_e2e_probe >/dev/null || exit 1
bin=build/linux/bin
work=$(mktemp -d /var/tmp/qelpatch-limit.XXXXXX)
trap 'rm -rf "$work"' EXIT

fresh_game() {
  rm -rf "$work/game" && mkdir "$work/game" && cp --sparse=always "$work/old/big.pkg" "$work/game/"
  sync
}
same() { cmp -s "$work/game/big.pkg" "$work/new/big.pkg" && echo "equal to the new package" || echo "WRONG"; }

"$bin/qelpatch-bench-limit" "$work"
# The release with its manifest (every digest checked), then its bare
# container, as releases were before manifests.
for release in release.qpd release-bare.qpd; do
  fresh_game
  /usr/bin/time -f "%e %M" -o "$work/time" env \
    QELPATCH_INSTALL_PATH="$work/game/" "$bin/qelpatch" --release "$work/$release" </dev/null >/dev/null 2>&1
  read -r wall rss <"$work/time"
  echo "Linux patcher, $release: $wall s, $rss KiB peak; $(same)"
done

"$bin/qelpatch-build" --stamp "$work/release.qpd" --exe "$work/QelPatch.exe" \
  --stub build/windows/bin/QelPatch-stub.exe >/dev/null || exit 1
export WINEPREFIX=$ROOT/build/windows/wineprefix-gui WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
QEL_PROBE=$ROOT/build/windows/bin/qelpatch_e2e_probe.exe
source tests/e2e/lib/display.bash
source tests/e2e/lib/patcher.bash
qel_stop_wine
qel_ensure_prefix && qel_start_display || exit 1
trap 'qel_stop_wine; qel_stop_display; rm -rf "$work"' EXIT
fresh_game
qel_store_path "$work/game" || exit 1
start=$(date +%s%N)
wine "$work/QelPatch.exe" >/dev/null 2>&1 &
patcher=$!
peak=0
while kill -0 "$patcher" 2>/dev/null && ! qel_window_shown QelPatch; do
  pid=$(pgrep -f 'QelPatch.exe' | head -n 1)
  [ -n "$pid" ] && rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null) &&
    [ "${rss:-0}" -gt "$peak" ] && peak=$rss
  sleep 0.2
done
end=$(date +%s%N)
result=$(qel_box_text QelPatch)
qel_press_key "$(qel_wait_window QelPatch 10)" Return
wait "$patcher"
qel_forget_path
echo "QelPatch.exe (Wine): $(((end - start) / 1000000)) ms to the result box (\"${result# }\"), $peak KiB peak (sampled); $(same)"

sync
/usr/bin/time -f "%e %M" -o "$work/time" sh -c \
  "cp --sparse=never '$work/new/big.pkg' '$work/copy.pkg' && sync '$work/copy.pkg'"
read -r wall rss <"$work/time"
echo "cp + sync:           $wall s, $rss KiB peak"
