#!/usr/bin/env bash
# The folder lock met through a second drive letter and a symbolic link,
# under Wine: both are made on the Unix side (a drive in the prefix's
# dosdevices, a link beside the folder), since Wine's DefineDosDevice and
# CreateSymbolicLink make neither, and handed to the test by name.
# Usage: second_spellings.sh WINE TESTS_EXE
set -euo pipefail
wine=$1 tests=$2
work=$(mktemp -d)
drive=
cleanup() {
  [ -z "$drive" ] || rm -f "$WINEPREFIX/dosdevices/$drive"
  rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/game"
ln -s "$work/game" "$work/linked"
# The prefix exists once Wine has run in it.
[ -d "$WINEPREFIX/dosdevices" ] || "$wine" "$tests" --gtest_list_tests >/dev/null
for letter in q r s t u v w x y; do
  if [ ! -e "$WINEPREFIX/dosdevices/$letter:" ]; then
    drive=$letter:
    break
  fi
done
[ -n "$drive" ] || { echo "no free drive letter in $WINEPREFIX/dosdevices" >&2; exit 1; }
ln -s "$work/game" "$WINEPREFIX/dosdevices/$drive"
# Wine's Z: is the Unix root.
windows_path() { local path=${1//\//\\}; echo "Z:$path"; }
QELPATCH_LOCK_FOLDER=$(windows_path "$work/game") \
  QELPATCH_LOCK_SPELLINGS="${drive^^}\\;$(windows_path "$work/linked")" \
  "$wine" "$tests" --gtest_filter='FolderLock.ASecond*'
