# Which Windows programs Wine can run on this machine. Source it; it exports
# QELPATCH_RUNS_32BIT (yes or no, found once: scripts/test sets it for every
# stage) and QEL_WINE64, and defines functions only besides.

# Debian's `wine` always starts the 32-bit loader, which a kernel without
# IA-32 emulation refuses ("Exec format error"): then no 32-bit Windows
# program runs here, and 64-bit ones need the 64-bit loader itself. Any other
# failure counts as a machine that runs them, so the stages say what broke.
qel_detect_32bit() {
  local out
  if out=$(/usr/lib/wine/wine --version 2>&1) || [[ $out != *"Exec format error"* ]]; then
    echo yes
  else
    echo no
  fi
}
export QELPATCH_RUNS_32BIT=${QELPATCH_RUNS_32BIT:-$(qel_detect_32bit)}

# What runs 64-bit programs: `wine` where it starts, else the 64-bit loader.
if [ -z "${QEL_WINE64:-}" ]; then
  QEL_WINE64=wine
  [ "$QELPATCH_RUNS_32BIT" = yes ] || QEL_WINE64=/usr/lib/wine/wine64
fi
export QEL_WINE64

QEL_NO_32BIT="this machine runs no 32-bit programs (the kernel's IA-32 emulation is off)"

# Ends a script that must run a 32-bit program, with one line that says so,
# where none can run: exit 77, which scripts/test counts as skipped.
# $1: the script's own prefix for its lines; $2: what is left undone.
qel_skip_without_32bit() {
  [ "$QELPATCH_RUNS_32BIT" = no ] || return 0
  echo "$1: skipped: $QEL_NO_32BIT; $2"
  exit 77
}
