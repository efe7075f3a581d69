#!/usr/bin/env bash
# folderly --watch, with no display, in a private home: a change makes a
# run (and the run's own copies none), a second watcher and a window that is
# open refuse it, the watch limit reached is said in the Report lines, and
# SIGTERM during a run ends it between two copies with 0 (the next start
# makes what it left); with no inotify instance it says so and ends with 2.
#
#   watch.sh PROGRAM
set -u
program="$1"
work=$(mktemp -d /tmp/folderly-watch-XXXXXX)
watcher="" gui="" limit=""
cleanup() {
  [ -n "$watcher" ] && kill "$watcher" 2>/dev/null
  [ -n "$gui" ] && kill "$gui" 2>/dev/null
  [ -n "$limit" ] && echo "$limit" > /proc/sys/fs/inotify/max_user_watches
  [ -f "$work/people/pids" ] && kill $(cat "$work/people/pids") 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export HOME="$work/home" XDG_DATA_HOME="$work/home/share" XDG_CONFIG_HOME="$work/home/config"
export XDG_STATE_HOME="$work/home/state"
export XDG_RUNTIME_DIR="$work/runtime"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
failures=0
fail() { echo "FAIL: $case: $*"; failures=$((failures + 1)); }
wait_for() {  # wait_for SECONDS COMMAND...
  local limit=$1; shift
  for _ in $(seq $((limit * 10))); do "$@" && return 0; sleep 0.1; done
  return 1
}

reset() {
  rm -rf "$work/home" "$work/A" "$work/B" "$work/S" "$work/people" "$work/runtime"
  mkdir -p "$XDG_DATA_HOME/Folderly" "$XDG_CONFIG_HOME/Vantrel" "$work/A/Docs" "$work/B/Docs" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  printf '%s\r\n' "$work/A/Docs" > "$XDG_DATA_HOME/Folderly/List1.txt"
  printf '%s\r\n' "$work/B/Docs" > "$XDG_DATA_HOME/Folderly/List2.txt"
  printf '[General]\nSynchroMode=int:1\n' > "$XDG_CONFIG_HOME/Vantrel/Folderly.conf"
}
start_watch() {
  "$program" --watch > "$work/out" 2> "$work/err" &
  watcher=$!
  wait_for 10 grep -q 'watching the folders' "$work/err" || fail "it did not start: $(cat "$work/err")"
}

case="a change, then nothing"
reset
start_watch
printf 'new\n' > "$work/A/Docs/new.txt"
wait_for 20 grep -q 'new.txt copied successfully' "$work/out" || fail "no run followed: $(cat "$work/out" "$work/err")"
[ "$(cat "$work/B/Docs/new.txt" 2>/dev/null)" = new ] || fail "new.txt was not copied"
sleep 12  # a run of its own copies would come by now
[ "$(wc -l < "$work/out")" = 1 ] || fail "more than the one line: $(cat "$work/out")"

case="a second watcher"
"$program" --watch > /dev/null 2> "$work/err2"
status=$?
[ "$status" = 2 ] || fail "status $status, expected 2"
grep -q 'folderly --watch is running already' "$work/err2" || fail "not said why: $(cat "$work/err2")"

case="SIGTERM during a run"
(cd "$work/A/Docs" && for i in $(seq 4000); do printf 'x%s\n' "$i" > "f$i"; done)
wait_for 30 grep -q '^f.* copied successfully' "$work/out" || fail "no run followed the burst"
kill -TERM "$watcher"
wait "$watcher"
status=$?
watcher=""
[ "$status" = 0 ] || fail "status $status, expected 0 ($(tail -2 "$work/err"))"
copied=$(grep -c '^f.* copied successfully' "$work/out")
[ "$copied" -lt 4000 ] || echo "SKIP: $case: the run ended before the signal (4000 copies made)"
[ "$(ls "$work/B/Docs" | grep -c '^f')" = "$copied" ] || fail "$copied lines, $(ls "$work/B/Docs" | grep -c '^f') files"
ls -a "$work/B/Docs" | grep -q folderly-partial && fail "a temporary file was left"

case="a change the last watcher never ran"
reset; start_watch
printf 'late\n' > "$work/A/Docs/late.txt"
kill -TERM "$watcher"; wait "$watcher"; start_watch  # over folders out of step
wait_for 10 grep -q 'late.txt copied successfully' "$work/out" || fail "not made by the next start: $(cat "$work/out")"
kill "$watcher"; wait "$watcher" 2>/dev/null; watcher=""

case="no inotify instance left"  # (no leak check: it cannot run under strace)
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" timeout 30 strace -f -qq -o /dev/null \
  -e inject=inotify_init1:error=EMFILE "$program" --watch > "$work/out" 2> "$work/err"; status=$?
[ "$status" = 2 ] && grep -q 'no folder can be watched' "$work/err" && grep -q 'no inotify instance' "$work/out" ||
  fail "status $status: $(cat "$work/out" "$work/err")"

case="a window that is open"
reset
QT_QPA_PLATFORM=offscreen "$program" > "$work/gui.log" 2>&1 &
gui=$!
wait_for 10 test -S "$XDG_RUNTIME_DIR/Folderly.socket" || fail "the window did not start"
"$program" --watch > /dev/null 2> "$work/err"
status=$?
[ "$status" = 2 ] || fail "status $status, expected 2"
grep -q 'the window of Folderly is open' "$work/err" || fail "not said why: $(cat "$work/err")"
kill "$gui"; wait "$gui" 2>/dev/null; gui=""

case="two people's watchers of one shared folder, two saves in one two-second step"
# Each person keeps their own folder in step with the shared one; both save
# within two seconds, then one saves again: the other's version stays beside
# the file, in their folder.
reset
mkdir -p "$work/S/Docs"
watch_as() {  # watch_as PERSON FOLDER: a watcher of FOLDER and the shared one, with its own home
  local home="$work/people/$1"
  mkdir -p "$home/share/Folderly" "$home/config/Vantrel" "$home/state" "$home/runtime"
  chmod 700 "$home/runtime"
  printf '%s\r\n' "$2" > "$home/share/Folderly/List1.txt"
  printf '%s\r\n' "$work/S/Docs" > "$home/share/Folderly/List2.txt"
  printf '[General]\nSynchroMode=int:1\n' > "$home/config/Vantrel/Folderly.conf"
  HOME="$home" XDG_DATA_HOME="$home/share" XDG_CONFIG_HOME="$home/config" XDG_STATE_HOME="$home/state" \
    XDG_RUNTIME_DIR="$home/runtime" "$program" --watch > "$home/out" 2> "$home/err" &
  echo $! >> "$work/people/pids"
}
mkdir -p "$work/people"
watch_as one "$work/A/Docs"
watch_as two "$work/B/Docs"
holds() { [ "$(cat "$1" 2>/dev/null)" = "$2" ]; }
wait_for 10 grep -q 'watching the folders' "$work/people/two/err" || fail "the watchers did not start"
printf 'first\n' > "$work/S/Docs/x.txt"
touch -d '2026-12-01 10:00:00' "$work/S/Docs/x.txt"
wait_for 40 holds "$work/B/Docs/x.txt" first && wait_for 20 holds "$work/A/Docs/x.txt" first ||
  fail "not in step at first"
printf "one's edit\n" > "$work/A/Docs/x.txt"
printf "two's longer edit\n" > "$work/B/Docs/x.txt"
touch -d '2026-12-08 10:00:00.3' "$work/A/Docs/x.txt"
touch -d '2026-12-08 10:00:01.6' "$work/B/Docs/x.txt"
wait_for 40 holds "$work/S/Docs/x.txt" "one's edit" || wait_for 1 holds "$work/S/Docs/x.txt" "two's longer edit" ||
  fail "neither save reached the shared folder"
sleep 12  # both watchers have run on the two saves
printf "one's second edit\n" > "$work/A/Docs/x.txt"
wait_for 60 holds "$work/B/Docs/x.txt" "one's second edit" || fail "the second edit did not reach B"
kept=$(cat "$work"/A/Docs/*conflict* "$work"/B/Docs/*conflict* "$work"/S/Docs/*conflict* 2>/dev/null)
echo "$kept" | grep -q "two's longer edit" || fail "two's version is gone: $(ls "$work"/*/Docs)"
kill $(cat "$work/people/pids") 2>/dev/null; wait 2>/dev/null

case="the watch limit reached"
if [ "$(id -u)" != 0 ] || [ ! -w /proc/sys/fs/inotify/max_user_watches ]; then
  echo "SKIP: $case: lowering fs.inotify.max_user_watches needs root"
else
  reset
  limit=$(cat /proc/sys/fs/inotify/max_user_watches)
  # Every watch of this user's is in use: none is left for the program.
  inuse=$(cat /proc/[0-9]*/fdinfo/* 2>/dev/null | grep -c '^inotify wd:')
  echo "$inuse" > /proc/sys/fs/inotify/max_user_watches
  start_watch
  echo "$limit" > /proc/sys/fs/inotify/max_user_watches
  limit=""
  grep -q "\"$work/A/Docs\" is not watched for changes: the limit of watched folders is reached" "$work/out" ||
    fail "not said: $(cat "$work/out")"
  kill "$watcher"; wait "$watcher" 2>/dev/null; watcher=""
fi

[ "$failures" = 0 ] || exit 1
echo "watch: all passed"
