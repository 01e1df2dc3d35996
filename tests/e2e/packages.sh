#!/usr/bin/env bash
# The tools' packages (scripts/package), each unpacked into an empty folder
# far from the build tree, make QelPatch.exe from the sample game with the
# stub they carry: the Linux one natively, the Windows one under Wine. Both
# programs are byte for byte the one the build tree's builder makes. The
# Linux package's patcher applies that program to a copy of the old game,
# which then holds the new one. Each package carries the licence with the
# notices of the libraries linked in and CHANGES; SHA256SUMS beside them
# checks them; packaging the same build again gives the same bytes.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
TOOLS=${QELPATCH_WINDOWS_TOOLS_BUILD:-$ROOT/build/windows-tools}
export WINEPREFIX=$TOOLS/wineprefix64 WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
source "$ROOT/tests/e2e/lib/wine.bash"

log() { echo "packages: $*"; }
failed=0
fail() {
  log "FAIL: $*"
  failed=1
}

"$ROOT/scripts/package" >/dev/null || { log "scripts/package failed"; exit 1; }
version=$("$ROOT/build/linux/bin/qelpatch-build" --version | sed -n 's/^qelpatch-build //p')
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"$ROOT/scripts/make-sample-game" "$WORK/sample" >/dev/null || exit 1
"$ROOT/build/linux/bin/qelpatch-build" "$WORK/sample/old" "$WORK/sample/new" --exe "$WORK/expected.exe" \
  --stub "$ROOT/build/windows/bin/QelPatch-stub.exe" -q || exit 1

mkdir "$WORK/linux" "$WORK/windows"
tar -xzf "$ROOT/build/packages/qelpatch-tools-$version-linux-x86_64.tar.gz" -C "$WORK/linux"
unzip -q "$ROOT/build/packages/qelpatch-tools-$version-windows-x86_64.zip" -d "$WORK/windows"
for platform in linux windows; do
  listing=$(cd "$WORK/$platform" && find . -type f | LC_ALL=C sort | tr '\n' ' ')
  texts="./qelpatch-tools-$version/CHANGES ./qelpatch-tools-$version/LICENSE "
  tools="$texts./qelpatch-tools-$version/QelPatch-stub.exe ./qelpatch-tools-$version/README.txt ./qelpatch-tools-$version/qelpatch "
  tools+="./qelpatch-tools-$version/qelpatch-build "
  [ "$platform" = windows ] &&
    tools="$texts./qelpatch-tools-$version/QelPatch-stub.exe ./qelpatch-tools-$version/README.txt ./qelpatch-tools-$version/qelpatch-build.exe ./qelpatch-tools-$version/qelpatch-console.exe "
  [ "$listing" = "$tools" ] || fail "$platform: the package holds $listing"
  for notice in "MIT License" "QelPatch developers" "zlib" "liblzma" "MinGW-w64 runtime" "winpthreads"; do
    grep -qF "$notice" "$WORK/$platform/qelpatch-tools-$version/LICENSE" ||
      fail "$platform: LICENSE does not name $notice"
  done
  grep -qF "$version" "$WORK/$platform/qelpatch-tools-$version/CHANGES" ||
    fail "$platform: CHANGES does not name $version"
done
(cd "$ROOT/build/packages" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not check"
sums=$(cat "$ROOT/build/packages/SHA256SUMS")
"$ROOT/scripts/package" >/dev/null || fail "scripts/package failed the second time"
[ "$(cat "$ROOT/build/packages/SHA256SUMS")" = "$sums" ] || fail "the same build packaged again differs"

(cd "$WORK/sample" && env -i PATH=/usr/bin:/bin "$WORK/linux/qelpatch-tools-$version/qelpatch-build" \
  old new --exe "$WORK/linux.exe" -q) || fail "linux: the packaged builder failed"
cmp -s "$WORK/linux.exe" "$WORK/expected.exe" || fail "linux: another program"
cp -r "$WORK/sample/old" "$WORK/game"
(cd "$WORK" && env -i PATH=/usr/bin:/bin "$WORK/linux/qelpatch-tools-$version/qelpatch" \
  --release linux.exe --game game </dev/null >/dev/null 2>&1) || fail "linux: the packaged patcher failed"
diff -r "$WORK/game" "$WORK/sample/new" >/dev/null || fail "linux: the patched game is not the new one"
(cd "$WORK/sample" && timeout 300 "$QEL_WINE64" "$WORK/windows/qelpatch-tools-$version/qelpatch-build.exe" \
  old new --exe windows.exe >/dev/null 2>&1) || fail "windows: the packaged builder failed"
cmp -s "$WORK/sample/windows.exe" "$WORK/expected.exe" || fail "windows: another program"

for package in "$ROOT"/build/packages/*.tar.gz "$ROOT"/build/packages/*.zip; do
  log "$(basename "$package"): $(stat -c %s "$package") bytes"
done
if [ "$failed" != 0 ]; then
  log "FAILED"
  exit 1
fi
log "all checks passed"
