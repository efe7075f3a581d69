#!/usr/bin/env bash
# A long run in the window, asked for by a later "folderly --run", under
# openbox: all through it the window answers the window manager's pings
# within a second, a part of it that another window covered for a moment is
# painted again within a second, and the Report list shows the run's lines.
set -u
program="$1"
tools_needed="Xvfb openbox trayer xdotool xwininfo"
source "$(dirname "$0")/private_home.sh"
here="$(dirname "$(readlink -f "$0")")"
/usr/bin/python3 -c 'import Xlib' 2>/dev/null || { echo "SKIP: python3-xlib is missing"; exit 77; }
source "$here/long_run.sh"
# (a few seconds of it are enough here)
export long_run_folders=96
make_long_run "$work/run"
cp "$work/run/List1.txt" "$work/run/List2.txt" "$XDG_DATA_HOME/Folderly/"
printf '[General]\nSilentMode=int:1\nSynchroMode=int:1\n' > "$XDG_CONFIG_HOME/Vantrel/Folderly.conf"

cat > "$work/session.sh" <<'SESSION'
set -u
source "$tools"
source "$here/long_run.sh"
start_answering_boxes
window=$(main_window)
place_of "$window"
# The part over both lists.
/usr/bin/python3 "$here/x11_liveness.py" "$window" "$((X + 100)),$((Y + 140)),480,120" -- \
  bash -c 'exec "$0" --run > "$1" 2>&1' "$program" "$work/run.log" &
watcher=$!
# Long enough for the covered part's check and a few pings; meanwhile the
# Report list shows the run's lines below its first, "v1.3" (dark text on
# its light face).
sleep 2
import -window root -crop "560x38+$((X + 56))+$((Y + 384))" "$work/report.png"
dark=$(convert "$work/report.png" -colorspace gray -threshold 40% -format '%[fx:1-mean]' info:)
awk -v d="$dark" 'BEGIN { exit !(d > 0.01) }' || fail "the Report list showed no line during the run"
sleep 1
shorten_long_run "$work/run"
wait "$watcher"
status=$?
# 3: the watcher saw the window fail; else the run's own status.
[ "$status" != 3 ] || fail "the window did not stay alive through the run"
[ "$status" = 3 ] || why=$(long_run_ended_well "$status" "$work/run.log") || fail "$why"
kill -TERM "$pid"
wait "$pid"
SESSION
export program work here tools="$here/session_tools.sh"
if ! bash "$xdesk" -- bash "$work/session.sh"; then
  echo "--- program output"; cat "$work/program.log" 2>/dev/null
  echo "--- the run's output (last lines)"; tail -3 "$work/run.log" 2>/dev/null
  exit 1
fi
long_run_complete "$work/run" || { echo "FAIL: the run did not copy every file"; exit 1; }
echo "e2e: 1 passed, 0 failed"
