#!/usr/bin/env bash
# Runs one Windows program under Wine on a private Xvfb display:
#   with_display.sh program.exe [arguments...]
# WINEPREFIX names the prefix (made on first use), QEL_WINE the Wine loader
# (wine unless set). The program's exit code is the script's.
set -uo pipefail
source "$(dirname "$0")/display.bash"

: "${WINEPREFIX:?WINEPREFIX must name the Wine prefix}"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

qel_stop_wine
qel_ensure_prefix || { echo "cannot make the Wine prefix $WINEPREFIX" >&2; exit 1; }
qel_start_display || exit 1
trap 'qel_stop_wine; qel_stop_display' EXIT

timeout 240 "$QEL_WINE" "$@"
status=$?
exit $status
