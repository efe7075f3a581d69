#!/usr/bin/env bash
# The window between the tray and the screen, with a stored timer interval
# that no entry of the interval box stands for (60000): the first Restore
# after a start in the tray shows the window normal and centred; a double
# click on the icon while it is shown leaves it shown; Hide, Save and a
# minimize with the Options panel open, and a restart, keep the interval.
set -u
program="$1"
source "$(dirname "$0")/private_home.sh"
conf="$XDG_CONFIG_HOME/Vantrel/Folderly.conf"
printf '[General]\nTrayMode=int:1\nTimer=int:1\nTimerInterval=int:60000\nSilentMode=int:1\n' > "$conf"

cat > "$work/session.sh" <<'SESSION'
set -u
source "$tools"
gone() { ! shown; }
tray_menu() {  # tray_menu KEYS...: opens the tray menu (bottom to top) and picks an item
  open_tray_menu
  xdotool key "$@" Return
}
double_click_icon() { xdotool mousemove 1008 753 click --repeat 2 --delay 60 1; }
click_at() { xdotool mousemove "$((X + $1))" "$((Y + $2))" click 1; sleep 0.3; }
interval_kept() { grep -qx 'TimerInterval=int:60000' "$conf" || fail "$1: $(grep TimerInterval "$conf")"; }

"$program" >> "$work/program.log" 2>&1 &
pid=$!
wait_for 10 "the tray icon" icon_shown
shown && fail "a window is shown although Tray Mode is on"

# The first Restore: the window normal, at full size, in the middle of the screen.
tray_menu Up Up Up
wait_for 5 "the window after Restore" shown
place_of "$(main_window)"
[ "$WIDTH" = 695 ] && [ "$HEIGHT" = 477 ] || fail "Restore showed the window at ${WIDTH}x$HEIGHT"
[ "$X" = $(((1024 - 695) / 2)) ] && [ "$Y" = $(((768 - 477) / 2)) ] || fail "the window is not centred: $X,$Y"

# A double click on the icon while the window is shown changes nothing.
double_click_icon
sleep 1
shown || fail "a double click on the icon hid the shown window"

# " Options", then "  Hide"; " Options", then "  Save": the interval stays.
click_at 593 80; click_at 512 368
click_at 593 80; click_at 401 368
wait_for 5 "the saved options" grep -q '^version=' "$conf"
interval_kept "after Hide and Save"
# Minimized into the tray with the panel open, and back.
click_at 593 80
tray_menu Down
wait_for 5 "the window leaving the screen" gone
double_click_icon
wait_for 5 "the window coming back" shown
exit_from_tray
interval_kept "after a minimize and the close"
grep -qx 'Timer=int:1' "$conf" || fail "the timer was switched off"

# A restart shows the same and stores it again.
"$program" >> "$work/program.log" 2>&1 &
pid=$!
wait_for 10 "the tray icon after the restart" icon_shown
exit_from_tray
interval_kept "after a restart"
exit 0
SESSION
export program work conf tools="$(dirname "$(readlink -f "$0")")/session_tools.sh"
if ! bash "$xdesk" -- bash "$work/session.sh"; then
  echo "--- program output"; cat "$work/program.log" 2>/dev/null
  [ -f "$work/failure.png" ] && cp "$work/failure.png" /tmp/folderly-e2e-failure.png && echo "screenshot: /tmp/folderly-e2e-failure.png"
  exit 1
fi
echo "e2e: 1 passed, 0 failed"
