#!/usr/bin/env bash
# MD5 throughput against coreutils md5sum, the fingerprint of a 2 GiB sparse
# package with a 2 MiB index, and container validation.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset linux >/dev/null && cmake --build --preset linux --target qelpatch-bench-core >/dev/null
bench=build/linux/bin/qelpatch-bench-core
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

head -c $((256 << 20)) /dev/urandom >"$work/data"
cat "$work/data" >/dev/null
echo "== MD5, 256 MiB, alternating runs (user CPU and wall seconds)"
for i in 1 2 3; do
  /usr/bin/time -f "qelpatch md5  user %U s  wall %e s" $bench md5 "$work/data" >/dev/null
  /usr/bin/time -f "md5sum        user %U s  wall %e s" md5sum "$work/data" >/dev/null
done

echo "== fingerprint of a 2 GiB sparse package, 2 MiB index"
python3 - "$work/big.pkg" <<'PY'
import os, struct, sys
path = sys.argv[1]
index_offset = (2 << 30) - (4 << 20)
records = []
size = 12
i = 0
while size < (2 << 20):
    body = os.urandom(96)
    records.append(struct.pack('<I', len(body)) + body)
    size += 100
    i += 1
index = struct.pack('<III', 0, len(records), size) + b''.join(records)
with open(path, 'wb') as f:
    header = bytearray(32)
    struct.pack_into('<I', header, 20, index_offset)
    f.write(header)
    f.seek(index_offset)
    f.write(index)
    f.truncate(2 << 30)
print(f"index: {len(records)} records, {len(index)} bytes at {index_offset}")
PY
$bench index "$work/big.pkg"

echo "== container validation"
$bench load
