#!/usr/bin/env bash
# Inflate throughput of the zip reader (Read in 10240-byte requests) against
# `unzip -p` on the same 200 MiB deflated game-like entry, and the peak memory
# of unpacking that entry above the baseline of an idle run.
#
#   bench/archive/run.sh            (QELPATCH_BENCH_BUILD picks the build folder)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${QELPATCH_BENCH_BUILD:-build/linux}
cmake --preset linux -B "$build" >/dev/null
cmake --build "$build" -j2 --target qelpatch-bench-archive >/dev/null
bench=$build/bin/qelpatch-bench-archive
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Game-like data (deflates to about 47%): text tables, binary records (map
# objects) and incompressible stretches (already compressed textures and
# sounds), in 64 KiB pieces cut from pools larger than deflate's 32 KiB window.
mkdir -p "$work/data"
python3 - "$work/data/world.dat" <<'PY'
import random, struct, sys
rng = random.Random(1)
lines = []
for i in range(120000):
    lines.append("item_%06d\tlevel=%d\tprice=%d\tweight=%.2f\tname=%s of %s\r\n" % (
        rng.randrange(10**6), rng.randrange(100), rng.randrange(10**6), rng.random() * 50,
        rng.choice(["Sword", "Shield", "Helm", "Ring", "Bow"]),
        rng.choice(["Dawn", "Dusk", "Ash", "Frost", "Embers", "the Deep"])))
text = "".join(lines).encode()
# Map objects: 32-byte records, ids counting up, a few types and flags,
# positions on a half-unit grid, stats from small tables.
records = b"".join(
    struct.pack("<IHHfffII", 100000 + i, rng.randrange(12), rng.choice((0, 1, 4, 5)),
                rng.randrange(-2000, 2000) * 0.5, rng.randrange(64) * 0.5,
                rng.randrange(-2000, 2000) * 0.5, rng.choice((50, 100, 150, 200, 500)),
                rng.randrange(1 << 12))
    for i in range(1 << 18))
piece = 64 << 10
with open(sys.argv[1], "wb") as out:
    for _ in range((200 << 20) // piece):
        kind = rng.random()
        if kind < 0.45:
            at = rng.randrange(len(text) - piece)
            out.write(text[at:at + piece])
        elif kind < 0.85:
            at = rng.randrange(len(records) - piece)
            out.write(records[at:at + piece])
        else:
            out.write(rng.randbytes(piece))
PY
(cd "$work/data" && zip -q "$work/game.zip" world.dat)
echo "== entry: $(stat -c %s "$work/data/world.dat") bytes, deflated by Info-ZIP zip to $(stat -c %s "$work/game.zip")"
rm -rf "$work/data"
cat "$work/game.zip" >/dev/null

echo "== inflate throughput, alternating runs (wall seconds)"
best_ours=999 best_unzip=999
for i in 1 2 3; do
  t=$( { /usr/bin/time -f %e "$bench" read "$work/game.zip" world.dat >/dev/null; } 2>&1 )
  echo "qelpatch Read(10240)  $t s"
  best_ours=$(echo "$t $best_ours" | awk '{print ($1 < $2) ? $1 : $2}')
  t=$( { /usr/bin/time -f %e unzip -p "$work/game.zip" world.dat >/dev/null; } 2>&1 )
  echo "unzip -p              $t s"
  best_unzip=$(echo "$t $best_unzip" | awk '{print ($1 < $2) ? $1 : $2}')
done
awk -v o="$best_ours" -v u="$best_unzip" \
  'BEGIN { printf "best: qelpatch %.2f s (%.0f MiB/s), unzip %.2f s; qelpatch/unzip throughput %.2fx\n", o, 200 / o, u, u / o }'

echo "== peak memory of unpacking the entry (maximum resident set, KiB)"
rm -f "$work/world.dat"
base=$( { /usr/bin/time -f %M "$bench" idle; } 2>&1 )
peak=$( { /usr/bin/time -f %M "$bench" unpack "$work/game.zip" world.dat "$work/world.dat"; } 2>&1 )
echo "idle $base KiB, unpack $peak KiB, above baseline $((peak - base)) KiB; output $(stat -c %s "$work/world.dat") bytes"
