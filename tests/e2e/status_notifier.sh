#!/usr/bin/env bash
# The program on a desktop whose tray is a status-notifier host on a private
# session bus, as KDE, GNOME with AppIndicator and XFCE have, under X11 or
# Wayland:
#
#   status_notifier.sh PROGRAM DESKTOP x11|wayland
#
# DESKTOP is virtual_desktop.sh (x11) or wayland_desktop.sh (wayland). The
# icon registers with its tooltip and menu, the host's activation restores
# the window, a run's balloon arrives as a desktop notification, "Exit" ends
# the program with the lists written; without a host the program keeps to
# the taskbar and a second start brings its window back.
set -u
program="$1" kind="$3"
if [ "$kind" = wayland ]; then
  tools_needed="weston convert"
else
  tools_needed="Xvfb xdotool"
fi
source "$(dirname "$0")/private_home.sh"
here="$(dirname "$(readlink -f "$0")")"
command -v dbus-run-session >/dev/null || { echo "SKIP: dbus-run-session is missing (package dbus)"; exit 77; }
python=""
for candidate in /usr/bin/python3 python3; do
  if "$candidate" -c 'import dbus.service, gi.repository.GLib' 2>/dev/null; then python="$candidate"; break; fi
done
[ -n "$python" ] || { echo "SKIP: python3 with python3-dbus and python3-gi is missing"; exit 77; }

mkdir -p "$work/A" "$work/B"
printf 'new\n' > "$work/A/notes.txt"
printf 'old\n' > "$work/B/notes.txt"
touch -d '2020-01-01' "$work/B/notes.txt"

cat > "$work/session.sh" <<'SESSION'
set -u
pid="" bus_pid=""
fail() {
  echo "FAIL: $kind: $case: $*"
  shot "$work/failure.png"
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null
  exit 1
}
bus() { "$python" "$here/desktop_bus.py" "$@" 2>>"$work/bus.log"; }
if [ "$kind" = wayland ]; then
  shot() { bash "$here/wayland_desktop.sh" --screenshot "$1"; }
  # The window's face colour covers a good part of the screen while it is shown.
  shown() {
    shot "$work/screen.png" || return 1
    [ "$(convert "$work/screen.png" -fill black +opaque 'srgb(239,239,239)' -fill white \
         -opaque 'srgb(239,239,239)' -format '%[fx:mean > 0.1]' info:)" = 1 ]
  }
else
  shot() { import -window root "$1" 2>/dev/null; }
  shown() { [ -n "$(xdotool search --onlyvisible --name '^Folderly 1\.3' 2>/dev/null)" ]; }
fi
hidden() { ! shown; }
running() { [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; }
ended() { ! running; }
registered() { [ -n "$(bus items)" ]; }
wait_for() {  # wait_for SECONDS DESCRIPTION COMMAND...
  local limit=$1 what=$2; shift 2
  for _ in $(seq $((limit * 5))); do "$@" && return 0; sleep 0.2; done
  fail "$what did not happen within $limit s"
}
check() { "$@" || fail "$*"; }
serve() {
  bus serve "$@" > "$work/bus.out" &
  bus_pid=$!
  wait_for 10 "the desktop's bus services" grep -q ready "$work/bus.out"
}
start() {
  "$program" >> "$work/program.log" 2>&1 &
  pid=$!
}
# LF line ends: a list file the program writes back ends its lines in CR LF.
lists() {
  printf '%s\n' "$work/A" > "$XDG_DATA_HOME/Folderly/List1.txt"
  printf '%s\n' "$work/B" > "$XDG_DATA_HOME/Folderly/List2.txt"
}
written() {
  cmp -s "$XDG_DATA_HOME/Folderly/List1.txt" <(printf '%s\r\n' "$work/A") &&
    cmp -s "$XDG_DATA_HOME/Folderly/List2.txt" <(printf '%s\r\n' "$work/B")
}

case="a status-notifier host"
lists
printf '[General]\nSilentMode=int:1\nTrayMode=int:0\n' > "$XDG_CONFIG_HOME/Vantrel/Folderly.conf"
serve
start
wait_for 10 "the icon's registration" registered
wait_for 10 "the window" shown
check test "$(bus tooltip)" = "Folderly 1.3"
check test "$(bus menu | tr '\n' '|')" = "Hide|Restore|Synchronize Now|Exit|"
bus click Hide
wait_for 10 "Hide" hidden
check running
check registered
# The host's activation (a click on the icon there) chooses the default item.
bus activate
wait_for 10 "the window's restore on activation" shown
bus click "Synchronize Now"
wait_for 10 "the run" cmp -s "$work/B/notes.txt" "$work/A/notes.txt"
wait_for 10 "the run's notification" grep -qx 'Attention!|Folderly is processing now' <(bus notifications)
bus click Hide
wait_for 10 "Hide" hidden
bus click Exit
wait_for 10 "the end after Exit" ended
wait "$pid" || fail "the program ended with status $?"
pid=""
check written
wait_for 5 "the icon's removal" eval '! registered'
kill "$bus_pid"; wait "$bus_pid" 2>/dev/null; bus_pid=""

case="no status-notifier host"
lists
printf '[General]\nSilentMode=int:1\nTrayMode=int:1\n' > "$XDG_CONFIG_HOME/Vantrel/Folderly.conf"
serve --no-host
start
sleep 3
check running
# Tray Mode without a tray: the window goes to the taskbar, and a second
# start of the program brings it back from there.
"$program" >> "$work/program.log" 2>&1 || fail "the second start ended with status $?"
wait_for 10 "the window after the second start" shown
kill -TERM "$pid"
wait_for 10 "the end at the session's end" ended
wait "$pid" || fail "the program ended with status $?"
pid=""
check written
kill "$bus_pid"; wait "$bus_pid" 2>/dev/null
exit 0
SESSION
export program work kind here python
desktop_args=()
[ "$kind" = x11 ] && desktop_args=(--no-tray)
dbus-run-session -- bash "$xdesk" "${desktop_args[@]}" -- bash "$work/session.sh" 2>"$work/session.err"
status=$?
if [ "$status" != 0 ]; then
  # (dbus-daemon's note that it may not raise its file limit is no news)
  grep -v 'fd limit' "$work/session.err"
  [ "$status" = 77 ] && exit 77
  echo "--- program output"; cat "$work/program.log" 2>/dev/null
  echo "--- bus"; cat "$work/bus.log" 2>/dev/null
  [ -f "$work/failure.png" ] && cp "$work/failure.png" "/tmp/folderly-e2e-$kind-failure.png" &&
    echo "screenshot: /tmp/folderly-e2e-$kind-failure.png"
  exit 1
fi
echo "e2e: 2 passed, 0 failed"
