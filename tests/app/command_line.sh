#!/usr/bin/env bash
# The command line, with no display at all (as over ssh or from a timer):
# --version and --help, and "--run" by itself and through a window's copy
# that is open, with what each run prints, appends and exits with.
#
#   command_line.sh PROGRAM
set -u
program="$1"
work=$(mktemp -d /tmp/folderly-cli-XXXXXX)
gui=""
trap '[ -n "$gui" ] && kill "$gui" 2>/dev/null; rm -rf "$work"' EXIT
export HOME="$work/home" XDG_DATA_HOME="$work/home/share" XDG_CONFIG_HOME="$work/home/config"
export XDG_STATE_HOME="$work/home/state"
export XDG_RUNTIME_DIR="$work/runtime"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
data="$XDG_DATA_HOME/Folderly" conf="$XDG_CONFIG_HOME/Vantrel/Folderly.conf"
failures=0
fail() { echo "FAIL: $case: $*"; failures=$((failures + 1)); }

# A and B hold notes.txt (A's is newer) and locked.txt (B's is read-only).
reset() {
  rm -rf "$work/home" "$work/A" "$work/B" "$work/runtime"
  mkdir -p "$data" "$(dirname "$conf")" "$work/A" "$work/B" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  printf 'new\n' > "$work/A/notes.txt"
  printf 'old\n' > "$work/B/notes.txt"
  printf '%s\r\n' "$work/A" > "$data/List1.txt"
  printf '%s\r\n' "$work/B" > "$data/List2.txt"
  # Silent Mode off: a run from the command line asks nobody all the same.
  printf '[General]\nSilentMode=int:0\n' > "$conf"
  touch -d '2020-01-01' "$work/B/notes.txt"
}
lock_one() {
  printf 'A\n' > "$work/A/locked.txt"
  printf 'B\n' > "$work/B/locked.txt"
  touch -d '2020-01-01' "$work/B/locked.txt"
  chmod a-w "$work/B/locked.txt"
}
lock_two() {
  printf 'A\n' > "$work/A/locked2.txt"
  printf 'B\n' > "$work/B/locked2.txt"
  touch -d '2020-01-01' "$work/B/locked2.txt"
  chmod a-w "$work/B/locked2.txt"
}
updated="$work/B/notes.txt updated successfully"

case="--version and --help"
[ "$("$program" --version)" = "Folderly 1.3" ] || fail "--version printed $("$program" --version)"
"$program" --help | grep -q -- '--run' || fail "--help does not tell of --run"
for wrong in "--run surplus" "--run --wait x" "--run --wait -1" "--wait 5"; do
  $program $wrong 2>/dev/null; [ $? = 2 ] || fail "'$wrong' is not refused with 2"
done

# The window without a display: said plainly, and a wrong option is refused
# as on any terminal, before the window is tried.
# case | arguments | what standard error holds
while IFS='|' read -r case arguments said; do
  reset
  $program $arguments >/dev/null 2>"$work/stderr"
  status=$?
  [ "$status" = 2 ] || fail "status $status, expected 2 ($(cat "$work/stderr"))"
  grep -qF -- "$said" "$work/stderr" || fail "not said '$said': $(cat "$work/stderr")"
  grep -q 'Reinstalling' "$work/stderr" && fail "Qt's own message came"
done <<'CASES'
the window||folderly --run
the window, a desktop asked for|-platform xcb|folderly --run
an unknown option|--bogus|Usage: folderly
an unknown option after a window option|-style fusion --bogus|Unknown option 'bogus'
an argument that is no option|surplus|unexpected argument 'surplus'
CASES

# case | preparation | status | what standard output holds (a line, or empty)
# | the last line of standard error (or nothing there)
while IFS='|' read -r case prepare expected output said; do
  reset
  eval "$prepare"
  actual=$("$program" --run 2>"$work/stderr")
  status=$?
  [ "$status" = "$expected" ] || fail "status $status, expected $expected ($(cat "$work/stderr"))"
  if [ -n "$output" ]; then
    grep -qxF "$(eval echo "$output")" <<< "$actual" || fail "no line '$output' in: $actual"
  else
    [ -z "$actual" ] || fail "printed $actual"
  fi
  if [ -n "$said" ]; then
    [[ "$(tail -n 1 "$work/stderr")" == "$said"* ]] || fail "standard error does not end in '$said': $(cat "$work/stderr")"
  else
    [ ! -s "$work/stderr" ] || fail "standard error holds: $(cat "$work/stderr")"
  fi
  grep -q 'Report list' "$work/stderr" && fail "the window's summary on a terminal"
  if [ "$expected" = 2 ]; then
    cmp -s "$work/B/notes.txt" <(printf 'old\n') || fail "a copy was made although the run could not be"
  fi
done <<'CASES'
every copy made|:|0|$updated|
a read-only destination|lock_one|1|$work/B/locked.txt could not be updated because it is Read-Only File|Folderly: 1 copy failed
two read-only destinations|lock_one; lock_two|1|$work/B/locked2.txt could not be updated because it is Read-Only File|Folderly: 2 copies failed
no store and no lists yet|rm "$conf" "$data/List1.txt" "$data/List2.txt"|0||
a list file that is a folder|rm "$data/List1.txt"; mkdir "$data/List1.txt"|2||Folderly: Could not load
an option of the wrong type|echo 'SynchroMode=str:x' >> "$conf"|2||Folderly: Could not load
a list entry that is no full path|printf 'A\r\n' >> "$data/List1.txt"|1|\"A\" is not a full folder path and takes no part in the run|Folderly: 1 list entry took no part in the run
a memory that cannot be made|mkdir -p "$XDG_STATE_HOME"; : > "$XDG_STATE_HOME/Folderly"|1|The memory of earlier runs \($XDG_STATE_HOME/Folderly/memory.db\) could not be opened \(unable to open database file: Not a directory\): edits made on both sides are not watched for in this run|
CASES

case="--report appends"
reset
printf 'kept\r\n' > "$work/report.txt"
"$program" --run --report "$work/report.txt" >/dev/null || fail "the first run failed"
touch -d '2020-01-01' "$work/B/notes.txt"
"$program" --run --report="$work/report.txt" >/dev/null || fail "the second run failed"
lines=$(tr -d '\r' < "$work/report.txt")
[ "$(sed -n 1p <<< "$lines")" = kept ] || fail "what the file held is gone"
[ "$(grep -cxF "$updated" <<< "$lines")" = 2 ] || fail "not both runs' lines: $lines"
[ "$(wc -l <<< "$lines")" = 5 ] || fail "not two blocks of a date line and a Report line: $lines"
grep -q $'\r$' "$work/report.txt" || fail "lines do not end in CR LF"

# Both copies edited since a run left them in step: the later wins, the
# other edit is kept beside its file, and --run says so and ends with 1.
case="both copies edited"
reset
"$program" --run > /dev/null 2>&1 || fail "the first run failed"
printf "A's edit\n" > "$work/A/notes.txt"; touch -d '2030-01-01 10:00' "$work/A/notes.txt"
printf "B's edit\n" > "$work/B/notes.txt"; touch -d '2030-01-01 10:05' "$work/B/notes.txt"
TZ=UTC "$program" --run > "$work/stdout" 2> "$work/stderr"
status=$?
[ "$status" = 1 ] || fail "status $status, expected 1"
kept="$work/A/notes (conflict 2030-01-01 10-00-00).txt"
[ "$(cat "$kept" 2>/dev/null)" = "A's edit" ] || fail "A's edit was not kept: $(ls "$work/A")"
[ "$(cat "$work/A/notes.txt")" = "B's edit" ] || fail "the later edit did not win"
grep -qxF "$work/A/notes.txt changed since the last run, as did its copy: its version is kept beside it as notes (conflict 2030-01-01 10-00-00).txt" "$work/stdout" ||
  fail "no line: $(cat "$work/stdout")"
[ "$(cat "$work/stderr")" = "Folderly: 1 file changed on both sides: its version was kept beside it" ] ||
  fail "not said: $(cat "$work/stderr")"

case="names with control characters"
reset
rm -f "$work/report.txt"
forged=$'x\nFolderly: 0 copies failed\n.txt' hidden=$'hidden\r.txt' title=$'\e]0;owned\a\e[2J.txt'
for name in "$forged" "$hidden" "$title"; do printf 'new\n' > "$work/A/$name"; printf 'old\n' > "$work/B/$name"; done
touch -d '2020-01-01' "$work/B"/*
"$program" --run --report "$work/report.txt" > "$work/stdout" 2>&1
for out in "$work/stdout" "$work/report.txt"; do
  tr -d '\r' < "$out" > "$work/shown"
  [ "$(grep -c 'updated successfully$' "$work/shown")" = 4 ] || fail "$out: not four whole lines: $(cat -A "$work/shown")"
  ! grep -q '^Folderly: 0 copies' "$work/shown" || fail "$out: a name forged a line"
  ! grep -q $'[\e\a]' "$out" || fail "$out: an escape sequence got through"
  [ "$(grep -c $'\r' "$out")" = "$(grep -c $'\r$' "$out")" ] || fail "$out: a carriage return within a line"
  for shown in 'x\nFolderly: 0 copies failed\n.txt' 'hidden\r.txt' '\033]0;owned\a\033[2J.txt'; do
    grep -qxF "$work/B/$shown updated successfully" "$work/shown" || fail "$out: not shown as $shown"
  done
done
rm -f "$work/report.txt"

# Refused at once, before any copy: nothing that waits for a reader is opened.
mkdir "$work/folder"
mkfifo "$work/pipe"
printf 'x\n' > "$work/file"
# report file | why it is refused
while IFS='|' read -r report why; do
  reset
  timeout 20 "$program" --run --report "$report" >/dev/null 2>"$work/stderr"
  status=$?
  [ "$status" = 2 ] || fail "--report $report: status $status, expected 2 ($(cat "$work/stderr"))"
  grep -qxF "Folderly: could not open $report: $why" "$work/stderr" ||
    fail "--report $report: not said that $why: $(cat "$work/stderr")"
  cmp -s "$work/B/notes.txt" <(printf 'old\n') || fail "--report $report: a copy was made"
done <<REPORTS
$work/no/such/folder/report.txt|the folder $work/no/such/folder does not exist
$work/file/report.txt|$work/file is not a folder
$work/folder|it is a folder
$work/pipe|nothing reads from this pipe
REPORTS
# A pipe that something reads takes the lines.
reset
cat "$work/pipe" > "$work/piped" &
"$program" --run --report "$work/pipe" >/dev/null || fail "a pipe that is read refused the run"
wait $!
grep -qF "$updated" "$work/piped" || fail "the pipe did not get the lines: $(cat "$work/piped")"

# While the window is open its copy makes the run, with no confirmation,
# and the asking copy prints and exits as its own run would, also the line
# of a file name that holds a line end, shown escaped as one line.
case="through the window's copy"
reset
lock_one
odd=$'two\nlines.txt'
printf 'A\n' > "$work/A/$odd"
printf 'B\n' > "$work/B/$odd"
touch -d '2020-01-01' "$work/B/$odd"
QT_QPA_PLATFORM=offscreen "$program" > "$work/gui.log" 2>&1 &
gui=$!
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/Folderly.socket" ] && break; sleep 0.1; done
rm "$data/List1.txt"  # the window's lists are the ones that count
actual=$("$program" --run 2>"$work/stderr")
status=$?
[ "$status" = 1 ] || fail "status $status, expected 1 ($(cat "$work/stderr"))"
grep -qxF "$updated" <<< "$actual" || fail "no line '$updated' in: $actual"
grep -qxF "$work/B/two\nlines.txt updated successfully" <<< "$actual" || fail "the line of '$odd' came torn: $actual"
[ "$(tail -n 1 "$work/stderr")" = "Folderly: 1 copy failed" ] || fail "not said how many failed: $(cat "$work/stderr")"
kill -0 "$gui" 2>/dev/null || fail "the window's copy ended"
kill "$gui"; wait "$gui"; gui=""

start_window() {
  QT_QPA_PLATFORM=offscreen "$program" > "$work/gui.log" 2>&1 &
  gui=$!
  for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/Folderly.socket" ] && break; sleep 0.1; done
}

# The window's own run waits in its confirmation: --run waits as long as
# --wait says, then ends with 3 and no run made, and the window goes on.
case="a window that stays busy"
reset
printf 'Timer=int:1\nTimerInterval=int:200\n' >> "$conf"
start_window
sleep 2  # the timer's run asks, and nobody answers
began=$(date +%s)
timeout 60 "$program" --run --wait 2 >/dev/null 2>"$work/stderr"
status=$?
[ "$status" = 3 ] || fail "status $status, expected 3 ($(cat "$work/stderr"))"
[ $(($(date +%s) - began)) -le 15 ] || fail "waited $(($(date +%s) - began)) s for a wait of 2 s"
grep -q 'was busy for 2 s' "$work/stderr" || fail "not said why: $(cat "$work/stderr")"
cmp -s "$work/B/notes.txt" <(printf 'old\n') || fail "a copy was made"
kill -0 "$gui" 2>/dev/null || fail "the window's copy ended"
kill "$gui"; wait "$gui"; gui=""

# The window's copy ends in the middle of the run it makes: the copies made
# stay made, and --run says what happened with 1, not that no run was made.
case="a window that ends during the run"
reset
(cd "$work/A" && for i in $(seq 10000); do printf 'new\n' > "f$i"; done)
(cd "$work/B" && for i in $(seq 10000); do printf 'old\n' > "f$i"; done && ls | xargs touch -d 2020-01-01)
start_window
"$program" --run > "$work/stdout" 2>"$work/stderr" &
runner=$!
for _ in $(seq 2000); do [ -s "$work/stdout" ] && break; sleep 0.01; done
kill -KILL "$gui"; wait "$gui" 2>/dev/null; gui=""
wait "$runner"
status=$?
lines=$(wc -l < "$work/stdout")
[ "$lines" -gt 0 ] && [ "$lines" -lt 10000 ] || fail "the window did not end during the run ($lines lines)"
[ "$status" = 1 ] || fail "status $status, expected 1 ($(cat "$work/stderr"))"
grep -q 'ended during the run' "$work/stderr" || fail "not said: $(cat "$work/stderr")"

# Without XDG_RUNTIME_DIR (cron, a bare su) and without a session folder in
# /run/user, the window's copy and --run meet in a private folder of their
# own, and neither says anything of it.
case="no runtime folder"
if [ -d "/run/user/$(id -u)" ]; then
  echo "SKIP: $case: /run/user/$(id -u) is there, and it belongs to a session"
else
  reset
  export TMPDIR="$work/tmp"
  mkdir -p "$TMPDIR"
  env -u XDG_RUNTIME_DIR QT_QPA_PLATFORM=offscreen "$program" > "$work/gui.log" 2>&1 &
  gui=$!
  private="$TMPDIR/folderly-$(id -u)"
  for _ in $(seq 100); do [ -S "$private/Folderly.socket" ] && break; sleep 0.1; done
  [ "$(stat -c %a "$private" 2>&1)" = 700 ] || fail "$private is no private folder: $(stat -c %a "$private" 2>&1)"
  rm "$data/List1.txt"  # only the window's copy can make this run
  actual=$(env -u XDG_RUNTIME_DIR "$program" --run 2>"$work/stderr")
  status=$?
  [ "$status" = 0 ] || fail "status $status, expected 0 ($(cat "$work/stderr"))"
  grep -qxF "$updated" <<< "$actual" || fail "no line '$updated' in: $actual"
  [ ! -s "$work/stderr" ] || fail "standard error holds: $(cat "$work/stderr")"
  kill "$gui"; wait "$gui"; gui=""
  grep -q 'XDG_RUNTIME_DIR' "$work/gui.log" && fail "the window's copy said: $(cat "$work/gui.log")"
  unset TMPDIR
fi

# Output that goes away: a reader that has seen enough (head, a pager that
# quits, a report pipe whose reader stops) never cuts the run short. Every
# copy is made, the lines go where they still can, and the run ends with 1
# and says why.
# case | how the run is started (its standard output goes to head -2)
while IFS='|' read -r case command; do
  reset
  (cd "$work/A" && for i in $(seq 3000); do printf 'new\n' > "f$i"; done)
  (cd "$work/B" && for i in $(seq 3000); do printf 'old\n' > "f$i"; done && ls | xargs touch -d 2020-01-01)
  rm -f "$work/pipe" && mkfifo "$work/pipe"
  reader=""
  [[ "$command" == *pipe* ]] && { head -c 100 "$work/pipe" > /dev/null & reader=$!; }
  [ "$case" = "through the window's copy" ] && start_window
  (eval "$command"; echo $? > "$work/status") 2>"$work/stderr" | head -2 > /dev/null
  status=$(cat "$work/status")
  [ "$status" = 1 ] || fail "status $status, expected 1 ($(cat "$work/stderr"))"
  left=$(grep -lx old "$work"/B/f* 2>/dev/null | wc -l)
  [ "$left" = 0 ] || fail "$left of 3000 files were not updated"
  grep -qE 'standard output was closed|could not append' "$work/stderr" || fail "not said: $(cat "$work/stderr")"
  [ -n "$gui" ] && { kill "$gui"; wait "$gui"; gui=""; }
  [ -n "$reader" ] && wait "$reader"
done <<'CASES'
standard output closes|"$program" --run
the report pipe's reader stops|"$program" --run --report "$work/pipe" > /dev/null
through the window's copy|"$program" --run
CASES

[ "$failures" = 0 ] || exit 1
echo "command line: all passed"
