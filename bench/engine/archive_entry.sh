#!/usr/bin/env bash
# Applying a release whose one file is not a package (so it travels as a
# one-entry stored archive, mostly copied from the installed file): wall
# time, peak memory and what the patcher wrote to the disk, against cp +
# sync of the new file. PATCHER=path/to/qelpatch applies with another build
# (to compare with an earlier one); the release is made by this build's
# qelpatch-build.
#
#   bench/engine/archive_entry.sh [SIZE_MIB]     (default 256)
set -euo pipefail
cd "$(dirname "$0")/../.."
size=${1:-256}
cmake --preset linux >/dev/null
cmake --build --preset linux --target qelpatch qelpatch-build >/dev/null
bin=build/linux/bin
patcher=${PATCHER:-$bin/qelpatch}
work=$(mktemp -d /var/tmp/qelpatch-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

measure() {  # label command...: wall seconds, peak memory, MiB written
  local label=$1
  shift
  /usr/bin/time -f "%e %M %O" -o "$work/time" "$@" >/dev/null 2>&1
  read -r wall rss blocks <"$work/time"
  printf '%-28s %8.2f s %9d KiB peak %8.1f MiB written\n' "$label" "$wall" "$rss" \
    "$(echo "$blocks / 2048" | bc -l)"
}

mkdir -p "$work/old" "$work/new"
head -c $((size << 20)) /dev/urandom >"$work/old/movie.bik"
# Ten places changed by a few bytes each.
cp "$work/old/movie.bik" "$work/new/movie.bik"
for i in $(seq 1 10); do
  printf 'changed frame %d' "$i" |
    dd of="$work/new/movie.bik" bs=1 seek=$((i * (size << 20) / 11)) conv=notrunc status=none
done
"$bin/qelpatch-build" --uncompressed --no-verify "$work/old" "$work/new" -o "$work/release.qpd" \
  >/dev/null
echo "release: $(stat -c %s "$work/release.qpd") bytes for a ${size} MiB file"

mkdir "$work/game"
for run in 1 2 3; do
  rm -f "$work/game/"*
  cp "$work/old/movie.bik" "$work/game/"
  sync
  measure "qelpatch, run $run" env QELPATCH_INSTALL_PATH="$work/game/" "$patcher" \
    --release "$work/release.qpd"
  cmp "$work/game/movie.bik" "$work/new/movie.bik"
done
sync
measure "cp + sync of the new file" sh -c "cp '$work/new/movie.bik' '$work/copy' && sync '$work/copy'"
