#!/usr/bin/env bash
# A start that meets a file it cannot read shows why, loads everything else,
# and the close writes back nothing that was never loaded: an unreadable
# List 1 (a link loop, a pipe), a stored value of the wrong type, an old
# option file with a bad line.
set -u
program="$1"
source "$(dirname "$0")/private_home.sh"
data="$XDG_DATA_HOME/Folderly"
conf="$XDG_CONFIG_HOME/Vantrel/Folderly.conf"

cat > "$work/session.sh" <<'SESSION'
set -u
source "$tools"
check() { "$@" || fail "$case: $*"; }
kept() { grep -qx "$1" "$conf" || fail "$case: $1 was not kept: $(tr '\n' ' ' < "$conf")"; }
reset_home() {
  rm -rf "$data" "$conf"
  mkdir -p "$data"
  printf '/srv/b\r\n/srv/a\r\n' > "$data/List2.txt"
  printf '[General]\nSilentMode=int:0\nSynchroMode=int:1\nTimer=int:1\nTimerInterval=int:600000\n' > "$conf"
}

for case in "List1.txt a link loop" "List1.txt a pipe"; do
  reset_home
  case "$case" in
    *loop*) ln -s List1.txt "$data/List1.txt" ;;
    *pipe*) mkfifo "$data/List1.txt" ;;
  esac
  start_answering_boxes
  [ "$boxes" = 1 ] || fail "$case: $boxes boxes at the start, expected one"
  exit_from_tray
  check cmp -s "$data/List2.txt" <(printf '/srv/b\r\n/srv/a\r\n')
  for value in SilentMode=int:0 SynchroMode=int:1 Timer=int:1 TimerInterval=int:600000; do kept "$value"; done
  case "$case" in
    *loop*) check test -L "$data/List1.txt" ;;
    *pipe*) check test -p "$data/List1.txt" ;;
  esac
done

case="a stored value of the wrong type"
reset_home
printf 'FileType=str:abc\nFilter=int:1\nExt=str:doc\nTrayMode=int:0\n' >> "$conf"
start_answering_boxes
[ "$boxes" = 1 ] || fail "$case: $boxes boxes at the start, expected one"
exit_from_tray
# The value that could not be read stays as it was too: nobody changed it.
for value in FileType=str:abc Filter=int:1 Ext=str:doc SilentMode=int:0 Timer=int:1 TimerInterval=int:600000 \
             SynchroMode=int:1; do
  kept "$value"
done

case="an old option file with a bad line"
reset_home
rm "$conf"
printf 'Folderly  1.2\r\n1\r\nabc\r\n0\r\n\r\n1\r\n1800000\r\n0\r\n0\r\n0\r\n' > "$data/options.txt"
cp "$data/options.txt" "$work/options.original"
start_answering_boxes
[ "$boxes" = 1 ] || fail "$case: $boxes boxes at the first start, expected one"
exit_from_tray
# What could be imported was; the file itself is kept beside under another name.
for value in SynchroMode=int:1 Timer=int:1 TimerInterval=int:1800000 SilentMode=int:0; do kept "$value"; done
check test ! -e "$data/options.txt"
check cmp -s "$data/options.txt.bad" "$work/options.original"
start_answering_boxes
[ "$boxes" = 0 ] || fail "$case: the message came again at the next start"
exit_from_tray
exit 0
SESSION
export program work data conf tools="$(dirname "$(readlink -f "$0")")/session_tools.sh"
if ! bash "$xdesk" -- bash "$work/session.sh"; then
  echo "--- program output"; cat "$work/program.log" 2>/dev/null
  [ -f "$work/failure.png" ] && cp "$work/failure.png" /tmp/folderly-e2e-failure.png && echo "screenshot: /tmp/folderly-e2e-failure.png"
  exit 1
fi
echo "e2e: 4 passed, 0 failed"
