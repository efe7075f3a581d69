# Sourced inside a virtual-desktop session: finding the program's windows,
# answering its boxes, and ending it from the tray menu. Needs $program and
# $work; a failure leaves a screenshot in $work/failure.png.
pid=""
fail() {
  echo "FAIL: $*"
  import -window root "$work/failure.png" 2>/dev/null
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  exit 1
}
main_window() { xdotool search --onlyvisible --name '^Folderly 1\.3' 2>/dev/null | head -1; }
shown() { [ -n "$(main_window)" ]; }
# A message box of the program: a window captioned "Folderly" larger than
# the tray icon's (22x28).
message_box() {
  for w in $(xdotool search --onlyvisible --name '^Folderly$' 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    [ "$WIDTH" -gt 60 ] && [ "$HEIGHT" -gt 40 ] && { echo "$w"; return; }
  done
}
# The tray icon: a small window captioned "Folderly" inside the notification area.
icon_shown() {
  for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
    [ "$(xdotool getwindowname "$w" 2>/dev/null)" = Folderly ] || continue
    eval "$(xdotool getwindowgeometry --shell "$w")"
    [ "$WIDTH" -le 32 ] && return 0
  done
  return 1
}
running() { [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; }
# place_of WINDOW: its inside on the screen as X, Y, WIDTH and HEIGHT
# (xdotool counts a reparenting window manager's frame twice).
place_of() {
  eval "$(xwininfo -id "$1" | awk '/Absolute upper-left X/ { print "X=" $NF } /Absolute upper-left Y/ { print "Y=" $NF }
    /Width:/ { print "WIDTH=" $NF } /Height:/ { print "HEIGHT=" $NF }')"
}
wait_for() {  # wait_for SECONDS DESCRIPTION COMMAND...
  local limit=$1 what=$2; shift 2
  for _ in $(seq $((limit * 10))); do "$@" && return 0; sleep 0.1; done
  fail "$what did not happen within $limit s"
}
# Starts the program and answers every box it shows before its window
# appears; the number of boxes goes to $boxes.
start_answering_boxes() {
  "$program" >> "$work/program.log" 2>&1 &
  pid=$!
  boxes=0
  for _ in $(seq 150); do
    shown && return 0
    running || fail "the program ended during its start"
    if [ -n "$(message_box)" ]; then
      boxes=$((boxes + 1))
      xdotool key Return
      for _ in $(seq 30); do [ -z "$(message_box)" ] && break; sleep 0.1; done
    fi
    sleep 0.1
  done
  fail "the main window did not appear"
}
# A right click on the tray icon, then the wait for its menu (keys sent
# before it opens go astray on a busy machine).
open_tray_menu() {  # (then a moment, as a person takes)
  xdotool mousemove 1008 753 click 3
  for _ in $(seq 40); do /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/x11_menu_open.py" && sleep 0.3 && return 0; sleep 0.25; done
  fail "the tray menu did not open"
}
# "Exit" from the tray icon's menu, then waits for the program to end.
exit_from_tray() {
  open_tray_menu
  xdotool key Up Return
  for _ in $(seq 50); do running || break; sleep 0.1; done
  running && fail "the program did not end after Exit"
  wait "$pid"
  pid=""
}
