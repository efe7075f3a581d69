#!/usr/bin/env bash
# A user's session with Folderly on a virtual desktop: a files-mode run, a
# switch to folders mode through the Options panel, a folders-mode run, the
# report saved, the window hidden to the tray and brought back with a double
# click, and the program ended from the tray menu. Then the files it left.
set -u
program="$1"
source "$(dirname "$0")/private_home.sh"
mkdir -p "$work/A/Docs" "$work/B/Docs"

# List 1 holds A/Docs, List 2 holds B/Docs: a files-mode pair and a folders-mode pair.
printf 'newer in A' > "$work/A/Docs/same.txt";  touch -d '2023-05-01 10:00:00' "$work/A/Docs/same.txt"
printf 'older in B' > "$work/B/Docs/same.txt";  touch -d '2021-05-01 10:00:00' "$work/B/Docs/same.txt"
printf 'only in B'  > "$work/B/Docs/onlyB.txt"; touch -d '2022-01-01 12:00:00' "$work/B/Docs/onlyB.txt"
printf '%s\r\n' "$work/A/Docs" > "$XDG_DATA_HOME/Folderly/List1.txt"
printf '%s\r\n' "$work/B/Docs" > "$XDG_DATA_HOME/Folderly/List2.txt"
cat > "$XDG_CONFIG_HOME/Vantrel/Folderly.conf" <<'CONF'
[General]
SilentMode=int:1
SynchroMode=int:0
CONF

cat > "$work/session.sh" <<'SESSION'
set -u
fail() { echo "FAIL: $*"; echo "program's small windows: $(popups | tr '\n' ' ')"; import -window root "$work/failure.png" 2>/dev/null; kill "$pid" 2>/dev/null; exit 1; }
visible() { xdotool search --onlyvisible --name 'Folderly 1.3' 2>/dev/null | head -1; }
shown() { [ -n "$(visible)" ]; }
gone() { [ -z "$(visible)" ]; }
wait_for() {  # wait_for SECONDS DESCRIPTION COMMAND...
  local limit=$1 what=$2; shift 2
  for _ in $(seq $((limit * 10))); do "$@" && return 0; sleep 0.1; done
  fail "$what did not happen within $limit s"
}
click_at() { xdotool mousemove "$((X + $1))" "$((Y + $2))" click 1; }
# Small windows of the program besides its icon: balloons and tool tips, as WIDTHxHEIGHT.
popups() {
  for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
    [ "$(xdotool getwindowname "$w" 2>/dev/null)" = Folderly ] || continue
    xdotool getwindowgeometry "$w" | sed -n 's/.*Geometry: //p'
  done | grep -v '^22x28$'
}
balloon_shown() { popups | awk -Fx '$1 > 100 && $2 > 40 { found = 1 } END { exit !found }'; }
tip_shown() { popups | awk -Fx '$2 < 40 { found = 1 } END { exit !found }'; }
# The tray icon sits at the right end of the notification area.
tray_icon() { xdotool mousemove 1008 753; }

"$program" > "$work/program.log" 2>&1 &
pid=$!
wait_for 10 "the main window appearing" shown
window=$(visible)
# The window's inside (xdotool counts a window manager's frame twice).
X=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ { print $NF }')
Y=$(xwininfo -id "$window" | awk '/Absolute upper-left Y/ { print $NF }')
sleep 1

# 0. The icon is in the notification area and shows its tip.
tray_icon; sleep 0.3; xdotool mousemove 1005 750; sleep 0.2; tray_icon
wait_for 5 "the tray icon's tip" tip_shown
xdotool mousemove "$((X + 650))" "$((Y + 20))"

# 1. Files mode: "Synchronize all" brings B's older copy up to date, and the
# run announces itself with a balloon at the icon.
click_at 504 304
wait_for 10 "the files-mode copy into B" grep -q 'newer in A' "$work/B/Docs/same.txt"
wait_for 5 "the run's balloon" balloon_shown
[ "$(stat -c %Y "$work/B/Docs/same.txt")" = "$(stat -c %Y "$work/A/Docs/same.txt")" ] || fail "the copy did not carry the time"
[ ! -e "$work/A/Docs/onlyB.txt" ] || fail "files mode created a file"

# 2. Options: choose "Folders Synchro mode" and save.
click_at 593 80
sleep 0.5
click_at 170 178
sleep 0.3
click_at 401 368
wait_for 5 "the saved Synchro mode" grep -q 'SynchroMode=int:1' "$XDG_CONFIG_HOME/Vantrel/Folderly.conf"

# 3. Folders mode: the file only B had is copied into A.
click_at 504 304
wait_for 10 "the folders-mode copy into A" test -f "$work/A/Docs/onlyB.txt"
grep -q 'only in B' "$work/A/Docs/onlyB.txt" || fail "the copied file has other content"

# 4. Save Report, and close its confirmation.
click_at 593 340
wait_for 5 "report.txt" test -f "$XDG_DATA_HOME/Folderly/report.txt"
sleep 0.5
xdotool key Return
sleep 0.5

# 5. Hide to the tray from the tray menu, then a double click brings it back.
tray_icon; xdotool click 3; wait_for 10 "the tray menu" /usr/bin/python3 "$menu_check"; sleep 0.3
xdotool key Down Return
wait_for 5 "the window leaving the screen" gone
sleep 0.5
tray_icon; xdotool click --repeat 2 --delay 60 1
wait_for 5 "the window coming back" shown
import -window root "$work/restored.png" 2>/dev/null

# 6. "Exit" from the tray menu ends the program.
sleep 0.5
tray_icon; xdotool click 3; wait_for 10 "the tray menu" /usr/bin/python3 "$menu_check"; sleep 0.3
xdotool key Up Return
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the program did not end after Exit"
wait "$pid"
exit 0
SESSION
export program work menu_check="$(dirname "$(readlink -f "$0")")/x11_menu_open.py"
if ! bash "$xdesk" -- bash "$work/session.sh"; then
  echo "--- program output"; cat "$work/program.log" 2>/dev/null
  [ -f "$work/failure.png" ] && cp "$work/failure.png" /tmp/folderly-e2e-failure.png && echo "screenshot: /tmp/folderly-e2e-failure.png"
  exit 1
fi

# 7. What the program left behind.
check() { "$@" || { echo "FAIL: after exit: $*"; exit 1; }; }
report="$XDG_DATA_HOME/Folderly/report.txt"
check grep -q "^v1.3"$'\r'"\$" "$report"
check grep -q "same.txt updated successfully" "$report"
check grep -q "onlyB.txt copied successfully to $work/A/Docs" "$report"
[ "$(tail -c 2 "$report" | od -An -c | tr -d ' ')" = '\r\n' ] || { echo "FAIL: report lines do not end in CR LF"; exit 1; }
check cmp -s "$XDG_DATA_HOME/Folderly/List1.txt" <(printf '%s\r\n' "$work/A/Docs")
check cmp -s "$XDG_DATA_HOME/Folderly/List2.txt" <(printf '%s\r\n' "$work/B/Docs")
conf="$XDG_CONFIG_HOME/Vantrel/Folderly.conf"
for value in 'SynchroMode=int:1' 'SilentMode=int:1' 'version=str:1.3' 'TrayMode=int:0'; do
  check grep -q "^$value\$" "$conf"
done
echo "e2e: 1 passed, 0 failed"
