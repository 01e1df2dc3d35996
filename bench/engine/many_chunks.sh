#!/usr/bin/env bash
# Applying a package rebuilt from many small chunks (100,000 copies of about
# 600 bytes with payload between them), in the old order (recompiled code)
# and shuffled, against cp + sync of the new file; medians of three runs.
# "checked" applies the release with its manifest (digests checked end to
# end), "bare" the same container without one, as releases were before.
# With BASE=path/to/qelpatch the same runs of another build are
# shown beside it (the build before a change).
#
#   bench/engine/many_chunks.sh [SIZE_MIB] [PIECES]    (default 64 100000)
set -euo pipefail
cd "$(dirname "$0")/../.."
size=${1:-64}
pieces=${2:-100000}
cmake --preset linux >/dev/null
cmake --build --preset linux --target qelpatch-bench-release qelpatch >/dev/null
bin=build/linux/bin
work=$(mktemp -d /var/tmp/qelpatch-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

median3() {  # command...: the median wall time of three runs, in seconds
  local times=()
  for _ in 1 2 3; do
    prepare
    /usr/bin/time -f "%e" -o "$work/time" "$@" >/dev/null 2>&1
    times+=("$(cat "$work/time")")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 2p
}

prepare() {  # a fresh copy of the old game, on the disk before the run
  rm -rf "$work/game" "$work/copy.pkg" && mkdir "$work/game" && cp "$work/old/big.pkg" "$work/game/"
  cat "$work/game/big.pkg" "$work/new/big.pkg" "$work/release.qpd" >/dev/null
  sync
}

patcher() {  # binary [release]: the command line of one run
  echo env QELPATCH_INSTALL_PATH="$work/game/" "$1" --release "$work/${2:-release.qpd}"
}

printf '%-10s %14s %12s %12s %12s %12s\n' order "release bytes" "cp + sync" checked bare \
  "${BASE:+base}"
for order in in-order shuffled; do
  rm -rf "$work/old" "$work/new"
  "$bin/qelpatch-bench-release" "$work" "$size" "$pieces" 5 "$order" >/dev/null
  copy=$(median3 sh -c "cp '$work/new/big.pkg' '$work/copy.pkg' && sync '$work/copy.pkg'")
  ours=$(median3 $(patcher "$bin/qelpatch"))
  cmp -s "$work/game/big.pkg" "$work/new/big.pkg" || { echo "qelpatch: wrong result" >&2; exit 1; }
  bare=$(median3 $(patcher "$bin/qelpatch" release-bare.qpd))
  base=
  [ -n "${BASE:-}" ] && base=$(median3 $(patcher "$BASE" release-bare.qpd))
  printf '%-10s %14d %10s s %10s s %10s s %10s\n' "$order" "$(stat -c %s "$work/release.qpd")" \
    "$copy" "$ours" "$bare" "${base:+$base s}"
done
