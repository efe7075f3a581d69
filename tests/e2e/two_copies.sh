#!/usr/bin/env bash
# The program runs once per user: a second start shows the running copy's
# window (here from the tray) and ends without touching the lists; a copy
# that was killed leaves nothing that stops the next start.
set -u
program="$1"
source "$(dirname "$0")/private_home.sh"
printf '/srv/a\r\n' > "$XDG_DATA_HOME/Folderly/List1.txt"
printf '[General]\nTrayMode=int:1\n' > "$XDG_CONFIG_HOME/Vantrel/Folderly.conf"

cat > "$work/session.sh" <<'SESSION'
set -u
source "$tools"
windows() { xdotool search --onlyvisible --name '^Folderly 1\.3' 2>/dev/null | wc -l; }
start_in_tray() {
  "$program" >> "$work/program.log" 2>&1 &
  pid=$!
  wait_for 10 "the tray icon" icon_shown
  shown && fail "a window is shown although Tray Mode is on"
}
# A second start must end by itself, with success, and bring the first copy's window.
second_start() {
  "$program" >> "$work/program.log" 2>&1 &
  local second=$!
  for _ in $(seq 100); do kill -0 "$second" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$second" 2>/dev/null; then kill "$second"; fail "the second start is still running"; fi
  wait "$second" || fail "the second start ended with status $?"
  wait_for 5 "the first copy's window" shown
  [ "$(windows)" = 1 ] || fail "$(windows) main windows"
  running || fail "the first copy ended"
}

start_in_tray
second_start
# The first copy died: its lock went with it, its socket is still there.
kill -KILL "$pid"; wait "$pid" 2>/dev/null; pid=""
test -S "$XDG_RUNTIME_DIR/Folderly.socket" || fail "the killed copy's socket is gone"
start_in_tray
second_start
exit_from_tray
exit 0
SESSION
export program work tools="$(dirname "$(readlink -f "$0")")/session_tools.sh"
if ! bash "$xdesk" -- bash "$work/session.sh"; then
  echo "--- program output"; cat "$work/program.log" 2>/dev/null
  [ -f "$work/failure.png" ] && cp "$work/failure.png" /tmp/folderly-e2e-failure.png && echo "screenshot: /tmp/folderly-e2e-failure.png"
  exit 1
fi
cmp -s "$XDG_DATA_HOME/Folderly/List1.txt" <(printf '/srv/a\r\n') || { echo "FAIL: List 1 changed"; exit 1; }
echo "e2e: 1 passed, 0 failed"
