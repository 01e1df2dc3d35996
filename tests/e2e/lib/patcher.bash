# Driving QelPatch.exe on the display that display.bash started: the stored
# installation path, the program's windows and boxes, keys and screenshots.
# Source it after display.bash; it defines functions only. QEL_PROBE names
# qelpatch_e2e_probe.exe, which reads and moves boxes from inside Wine.

# The main window's place on the screen, and the Quit button's centre.
QEL_WINDOW_X=100
QEL_WINDOW_Y=100
QEL_QUIT_X=$((QEL_WINDOW_X + 346 + 9))
QEL_QUIT_Y=$((QEL_WINDOW_Y + 2 + 8))

# Both places the path may be stored; which one is read depends on the
# system's language.
QEL_PATH_KEYS=('HKLM\SOFTWARE\KESTA\Quelvane|Destination' 'HKLM\SOFTWARE\morv\quelvane|Loader')

qel_wine() { timeout 60 "$QEL_WINE" "$@" 2>/dev/null | tr -d '\r'; }

# Z:\... for a Unix path.
qel_windows_path() { echo "Z:${1//\//\\}"; }

# Stores a file inside the game folder $1 as the installation path.
qel_store_path() {
  local entry value="$(qel_windows_path "$1")\\launcher.exe"
  for entry in "${QEL_PATH_KEYS[@]}"; do
    qel_wine reg add "${entry%|*}" /v "${entry#*|}" /t REG_SZ /d "$value" /f >/dev/null || return 1
  done
}

qel_forget_path() {
  local entry
  for entry in "${QEL_PATH_KEYS[@]}"; do qel_wine reg delete "${entry%|*}" /f >/dev/null || true; done
}

# The id of a visible window titled exactly $1, waiting up to $2 seconds;
# with $3, one other than that window.
qel_wait_window() {
  local i id
  for i in $(seq $(($2 * 10))); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -vx "${3:-}" | head -n1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

qel_window_shown() { [ -n "$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null)" ]; }

# Presses key $2 in window $1.
qel_press_key() {
  xdotool windowfocus "$1" 2>/dev/null
  sleep 0.2
  xdotool key --clearmodifiers "$2"
}

qel_box_text() { qel_wine "$QEL_PROBE" box "$1"; }

# Moves the box captioned $1 below the main window, so both can be seen.
qel_move_box_below() {
  qel_wine "$QEL_PROBE" move "$1" "$QEL_WINDOW_X" $((QEL_WINDOW_Y + 230))
}

# Saves the screen's part that holds the main window and a box below it.
qel_screenshot() {
  import -window root -crop 480x420+$((QEL_WINDOW_X - 20))+$((QEL_WINDOW_Y - 20)) +repage "$1"
}
