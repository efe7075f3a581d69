#!/usr/bin/env bash
# The desktop ends the session (SIGTERM) during a long run: the run stops
# after the copy in progress, the lists and options are saved, and the
# program ends at once instead of when the run is over.
set -u
program="$1"
source "$(dirname "$0")/private_home.sh"
files=30000
mkdir -p "$work/A/Docs" "$work/B/Docs"
(cd "$work/A/Docs" && seq -f 'file%g.txt' "$files" | xargs -n 2000 sh -c 'for f; do printf x > "$f"; done' sh)
# LF line ends: a list file the close rewrites ends its lines in CR LF.
printf '%s\n' "$work/A/Docs" > "$XDG_DATA_HOME/Folderly/List1.txt"
printf '%s\n' "$work/B/Docs" > "$XDG_DATA_HOME/Folderly/List2.txt"
printf '[General]\nSilentMode=int:1\nSynchroMode=int:1\n' > "$XDG_CONFIG_HOME/Vantrel/Folderly.conf"

cat > "$work/session.sh" <<'SESSION'
set -u
source "$tools"
start_answering_boxes
[ "$boxes" = 0 ] || fail "$boxes boxes at the start"
place_of "$(main_window)"
sleep 0.5
xdotool mousemove "$((X + 504))" "$((Y + 304))" click 1
# Watched closely: the whole run takes about two seconds.
for _ in $(seq 2000); do [ -n "$(ls -U "$work/B/Docs" | head -1)" ] && break; sleep 0.01; done
kill -TERM "$pid"
for _ in $(seq 100); do running || break; sleep 0.1; done
running && fail "the program was still running 10 s after SIGTERM"
wait "$pid"
status=$?
[ "$status" = 0 ] || fail "the program ended with status $status"
exit 0
SESSION
export program work tools="$(dirname "$(readlink -f "$0")")/session_tools.sh"
if ! bash "$xdesk" -- bash "$work/session.sh"; then
  echo "--- program output"; cat "$work/program.log" 2>/dev/null
  exit 1
fi

check() { "$@" || { echo "FAIL: $*"; exit 1; }; }
copied=$(ls -U "$work/B/Docs" | wc -l)
echo "copied before the end: $copied of $files"
[ "$copied" -lt "$files" ] || { echo "FAIL: the run went on to its end before the program ended"; exit 1; }
# Every copy is whole and nothing else is there.
check test -z "$(find "$work/B/Docs" -type f ! -name 'file*.txt')"
check test -z "$(find "$work/B/Docs" -type f ! -size 1c)"
check cmp -s "$XDG_DATA_HOME/Folderly/List1.txt" <(printf '%s\r\n' "$work/A/Docs")
check grep -qx 'version=str:1.3' "$XDG_CONFIG_HOME/Vantrel/Folderly.conf"
echo "e2e: 1 passed, 0 failed"
