#!/usr/bin/env bash
# Applying a release that rebuilds a 1 GiB package (about 95% copied in about
# 1,000 copy chunks, 5% payload) with qelpatch, against cp of the new file and
# the delta decoders xdelta3 and zstd on the same old and new files; then peak
# memory with a release whose one copy chunk is 512 MiB.
#
#   bench/engine/run.sh [SIZE_MIB]     (default 1024)
set -euo pipefail
cd "$(dirname "$0")/../.."
size=${1:-1024}
cmake --preset linux >/dev/null
cmake --build --preset linux --target qelpatch-bench-release qelpatch >/dev/null
bin=build/linux/bin
work=$(mktemp -d /var/tmp/qelpatch-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

measure() {  # label command...: wall seconds and peak memory
  local label=$1
  shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>&1
  read -r wall rss <"$work/time"
  printf '%-34s %8.2f s %9d KiB peak\n' "$label" "$wall" "$rss"
}

apply_qelpatch() {  # release: one run of the Linux patcher on a fresh copy of old/
  rm -rf "$work/game" && mkdir "$work/game" && cp "$work/old/big.pkg" "$work/game/"
  cat "$work/game/big.pkg" "$1" >/dev/null
  sync  # the copy of old/ must not be flushed during the measured run
  measure "qelpatch (fsync included)" env QELPATCH_INSTALL_PATH="$work/game/" \
    "$bin/qelpatch" --release "$1"
  cmp "$work/game/big.pkg" "$work/new/big.pkg" && echo "  result equals the new package"
}

echo "== ${size} MiB package, 1000 copy chunks, 5% payload"
"$bin/qelpatch-bench-release" "$work" "$size" 1000 5
echo "release size: $(stat -c %s "$work/release.qpd") bytes"
echo "making peer deltas..."
xdelta3 -e -9 -f -B $((size << 20 | 1 << 26)) -s "$work/old/big.pkg" "$work/new/big.pkg" "$work/x.vcdiff"
zstd -q -f --long=31 --patch-from="$work/old/big.pkg" "$work/new/big.pkg" -o "$work/z.zst"
echo "xdelta3 delta: $(stat -c %s "$work/x.vcdiff") bytes, zstd delta: $(stat -c %s "$work/z.zst") bytes"

cat "$work/old/big.pkg" "$work/new/big.pkg" >/dev/null
sync
measure "cp of the new file" cp "$work/new/big.pkg" "$work/copy.pkg"
measure "cp + sync of the new file" sh -c "cp '$work/new/big.pkg' '$work/copy.pkg' && sync '$work/copy.pkg'"
apply_qelpatch "$work/release.qpd"
measure "xdelta3 -d" xdelta3 -d -f -B $((size << 20 | 1 << 26)) -s "$work/old/big.pkg" "$work/x.vcdiff" "$work/x.out"
measure "zstd -d --patch-from" zstd -q -d -f --long=31 --patch-from="$work/old/big.pkg" "$work/z.zst" -o "$work/z.out"

echo "== 539 MiB package, one 512 MiB copy chunk"
rm -rf "$work/old" "$work/new"
"$bin/qelpatch-bench-release" "$work" 539 1 5
echo "release size: $(stat -c %s "$work/release.qpd") bytes"
apply_qelpatch "$work/release.qpd"
