# Shared by the scripts that run Windows programs with windows under Wine: a
# private Xvfb display and a Wine prefix that is made once and then reused.
# Source it; it defines functions only, and QEL_WINE: the Wine loader that
# runs the programs (wine unless set; a 64-bit build's tests set the 64-bit
# one, which also runs where `wine` cannot start).
QEL_WINE=${QEL_WINE:-wine}

# Makes the prefix at $WINEPREFIX unless it exists. Bounded in time. Its
# windows are not left to a window manager (there is none on Xvfb, and Wine
# would wait two seconds for one on every window it destroys).
qel_ensure_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    timeout 300 "$QEL_WINE" wineboot -i >/dev/null 2>&1 || true
    timeout 60 wineserver -w || true
  fi
  [ -f "$WINEPREFIX/system.reg" ] || return 1
  if ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg"; then
    timeout 60 "$QEL_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    timeout 60 wineserver -w || true
  fi
}

# Starts Xvfb on a free display and exports DISPLAY. QEL_XVFB_PID is its pid.
qel_start_display() {
  local number_file
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  QEL_XVFB_PID=$!
  local i
  for i in $(seq 100); do
    [ -s "$number_file" ] && break
    sleep 0.1
  done
  if [ ! -s "$number_file" ]; then
    rm -f "$number_file"
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$number_file")"
  rm -f "$number_file"
}

qel_stop_display() {
  if [ -n "${QEL_XVFB_PID:-}" ]; then
    kill "$QEL_XVFB_PID" 2>/dev/null || true
    wait "$QEL_XVFB_PID" 2>/dev/null || true
    QEL_XVFB_PID=
  fi
}

# Ends every Wine process of the prefix, so the next run starts on a fresh
# wineserver bound to its own display.
qel_stop_wine() {
  timeout 30 wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
}
