#!/usr/bin/env bash
# Tray Mode: the program starts with no window, only its tray icon; a double
# click on the icon shows the window, "Exit" from the tray menu ends it.
set -u
program="$1"
source "$(dirname "$0")/private_home.sh"
printf '[General]\nTrayMode=int:1\n' > "$XDG_CONFIG_HOME/Vantrel/Folderly.conf"

cat > "$work/session.sh" <<'SESSION'
set -u
fail() { echo "FAIL: $*"; import -window root "$work/failure.png" 2>/dev/null; kill "$pid" 2>/dev/null; exit 1; }
shown() { [ -n "$(xdotool search --onlyvisible --name 'Folderly 1.3' 2>/dev/null | head -1)" ]; }
"$program" > "$work/program.log" 2>&1 &
pid=$!
sleep 3
kill -0 "$pid" 2>/dev/null || fail "the program did not start"
shown && fail "a window is shown although Tray Mode is on"
# The icon is in the notification area: its tip names the program.
import -window root -crop 32x30+992+738 "$work/icon.png"
colours=$(convert "$work/icon.png" -format '%k' info: 2>/dev/null || echo 0)
[ "${colours:-0}" -gt 3 ] || fail "no icon in the notification area"
xdotool mousemove 1008 753 click --repeat 2 --delay 60 1
for _ in $(seq 50); do shown && break; sleep 0.1; done
shown || fail "a double click on the icon did not show the window"
xdotool mousemove 1008 753 click 3
for _ in $(seq 40); do /usr/bin/python3 "$menu_check" && break; sleep 0.25; done
sleep 0.3
xdotool key Up Return
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the program did not end after Exit"
exit 0
SESSION
export program work menu_check="$(dirname "$(readlink -f "$0")")/x11_menu_open.py"
if ! bash "$xdesk" -- bash "$work/session.sh"; then
  echo "--- program output"; cat "$work/program.log" 2>/dev/null
  exit 1
fi
[ -f "$XDG_DATA_HOME/Folderly/List1.txt" ] || { echo "FAIL: the close did not write List1.txt"; exit 1; }
grep -q '^TrayMode=int:1$' "$XDG_CONFIG_HOME/Vantrel/Folderly.conf" || { echo "FAIL: Tray Mode was not kept"; exit 1; }
echo "e2e: 1 passed, 0 failed"
