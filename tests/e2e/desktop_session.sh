#!/usr/bin/env bash
# A new user's first minutes with Folderly on one of the desktops people use,
# checked by what the screen shows:
#
#   desktop_session.sh PROGRAM DESKTOP [xembed]
#
# DESKTOP is an X11 desktop of virtual_desktop.sh (xfce, lxqt, openbox) or a
# Wayland desktop of wayland_desktop.sh (sway, gnome, kde). With xembed the
# program finds no status-notifier host on its bus and takes the panel's
# XEmbed tray. The window appears; the Options panel hides the list entries
# and the report under it; "Hide" from the tray menu takes the window away,
# and each way back brings it back on the screen: a click on the icon (a
# status-notifier tray), a double click, "Restore" and a second start; "Exit"
# ends the program with its lists written. On GNOME Shell and KDE Plasma the
# program then starts again and, during a long run that a later start asks
# for, is asked to close by the desktop: it is not taken for hung (GNOME's
# "not responding" covers and dims a window 5 s after an unanswered ping,
# KDE adds "(Not Responding)" to its title), and it closes, its lists saved,
# only once the run is over. Screenshots of each step are kept in
# $FOLDERLY_E2E_SHOTS when that is set.
set -u
program="$1" desktop="$2" path="${3:-}"
case "$desktop" in
  xfce | lxqt | openbox) kind=x11 runner=virtual_desktop.sh tools_needed="Xvfb xdotool xprop import convert" ;;
  *) kind=wayland runner=wayland_desktop.sh tools_needed="convert" ;;
esac
[ "$desktop" = openbox ] && path=xembed
source "$(dirname "$0")/private_home.sh"
here="$(dirname "$(readlink -f "$0")")"

# Entries long enough to pass under the whole width of the panel; the
# program writes them back in an order of its own.
for name in Documents Pictures Music Videos Projects Letters Invoices Recipes Travel Garden Taxes Backups; do
  mkdir -p "$work/Shared with the office/$name"
  printf '%s\r\n' "$work/Shared with the office/$name"
done > "$XDG_DATA_HOME/Folderly/List1.txt"
cp "$XDG_DATA_HOME/Folderly/List1.txt" "$XDG_DATA_HOME/Folderly/List2.txt"
cp "$XDG_DATA_HOME/Folderly/List1.txt" "$work/lists.expected"
printf '[General]\nSilentMode=int:1\nTrayMode=int:0\nSynchroMode=int:1\n' > "$XDG_CONFIG_HOME/Vantrel/Folderly.conf"
# GNOME Shell and KDE Plasma: the long run.
source "$here/long_run.sh"
long_run=""
case "$desktop" in gnome | kde) long_run="$work/run" && make_long_run "$long_run" ;; esac

cat > "$work/session.sh" <<'SESSION'
set -u
source "$here/${kind}_session.sh"
source "$here/long_run.sh"
pid=""
step=0
fail() {
  echo "FAIL: $desktop${path:+ ($path)}: $*"
  [ "$kind" = x11 ] && echo "window manager: $(window_manager_view)" &&
    echo "mapped: $(/usr/bin/python3 "$here/x11_menu_open.py" --list | tr '\n' ' ')"
  shot "$work/failure.png"
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  exit 1
}
keep() {  # keep NAME: the screen now, for a person to look at
  step=$((step + 1))
  [ -n "${FOLDERLY_E2E_SHOTS:-}" ] && shot "$FOLDERLY_E2E_SHOTS/$desktop${path:+-$path}-$step-$1.png"
  return 0
}
wait_for() {  # wait_for SECONDS DESCRIPTION COMMAND...
  local limit=$1 what=$2; shift 2
  for _ in $(seq $((limit * 4))); do "$@" && return 0; sleep 0.25; done
  fail "$what did not happen within $limit s"
}
running() { [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; }
start() {
  if [ "$path" = xembed ]; then
    DBUS_SESSION_BUS_ADDRESS=disabled: "$program" >> "$work/program.log" 2>&1 &
  else
    "$program" >> "$work/program.log" 2>&1 &
  fi
  pid=$!
}
# Share of the button face's colour in a part of the screen (WxH+X+Y).
face_share() {
  convert "$work/screen.png" -crop "$1" +repage -fill black +opaque "$face" -fill white -opaque "$face" \
    -format '%[fx:mean]' info:
}
colours() { convert "$work/screen.png" -crop "$1" +repage -format '%k' info:; }
# On the screen: the window is where it says it is, and mostly button face there.
shown() {
  window_origin || return 1
  shot "$work/screen.png" || return 1
  awk -v share="$(face_share "695x477+$WX+$WY")" 'BEGIN { exit !(share > 0.4) }'
}
# Off the screen: no window of the program where it stood.
hidden() {
  window_origin && return 1
  shot "$work/screen.png" || return 1
  awk -v share="$(face_share "695x477+$WX+$WY")" 'BEGIN { exit !(share < 0.3) }'
}
icon_shown() {
  shot "$work/screen.png" && [ "$(colours "16x16+$((icon_x - 8))+$((icon_y - 8))")" -gt 4 ]
}
tray_menu() {  # tray_menu POSITION: right click on the icon, the item at POSITION from the top
  right_click_at "$icon_x" "$icon_y"
  # (a busy machine can take seconds to show it; keys sent before go astray)
  wait_for 10 "the tray menu" menu_open
  # A person's pace: Qt's menu, chosen from within a tenth of a second of
  # opening, ignores the next right click for a moment after it closes.
  sleep 0.3
  [ -n "${menu_kept:-}" ] || { keep menu; menu_kept=1; }
  choose_menu_item "$1"
}
hide_from_tray() {
  tray_menu 1
  wait_for 10 "the window leaving the screen after Hide" hidden
}
copying() { long_run_copying "$long_run"; }
ended() { ! running; }
close_during_run() {
  local runner status title why list
  cp "$long_run/List1.txt" "$long_run/List2.txt" "$XDG_DATA_HOME/Folderly/"
  start
  wait_for 15 "the main window" shown
  # The window holds the lists now: only its close can write them again.
  rm "$XDG_DATA_HOME/Folderly/List1.txt" "$XDG_DATA_HOME/Folderly/List2.txt"
  "$program" --run > "$work/run.log" 2>&1 &
  runner=$!
  wait_for 10 "the run's first copy" copying
  close_window
  # KDE marks a window whose answer is a second late, and ends it soon
  # after; GNOME covers it after five seconds.
  if [ "$desktop" = kde ]; then
    sleep 2
    title=$(window_title)
    [ "$title" = "Folderly 1.3" ] || fail "the window's title was '$title' 2 s after the close request"
    sleep 3.5
  else
    sleep 6
  fi
  running || fail "the program ended during the run, within 6 s of the close request"
  shown || fail "the window was covered or dimmed 6 s after the close request"
  keep close-requested-during-run
  if [ "$desktop" = kde ]; then
    title=$(window_title)
    [ "$title" = "Folderly 1.3" ] || fail "the window's title was '$title' 6 s after the close request"
  fi
  kill -0 "$runner" 2>/dev/null || fail "the run was over before the check"
  shorten_long_run "$long_run"
  wait "$runner"
  status=$?
  why=$(long_run_ended_well "$status" "$work/run.log") || fail "$why"
  wait_for 10 "the program's end after the run" ended
  wait "$pid" || fail "the program ended with status $?"
  # Each folder the run came to holds every file: its last copy was made
  # before the program ended.
  why=$(long_run_complete "$long_run") || fail "$why"
  # (in an order of the program's own)
  for list in List1.txt List2.txt; do
    cmp -s <(sort "$XDG_DATA_HOME/Folderly/$list") <(sort "$long_run/$list") || fail "$list was not written at the close"
  done
}

start
wait_for 15 "the main window" shown
wait_for 10 "the tray icon" icon_shown
keep started

# The Options panel covers what lies under it: where it has no control of its
# own, over the lists and "Save Report", it is plain button face.
click_at "$((WX + 593))" "$((WY + 80))"
sleep 1
shot "$work/screen.png"
keep options
for part in "22x126+$((WX + 110))+$((WY + 136))" "26x126+$((WX + 556))+$((WY + 136))" \
            "26x20+$((WX + 556))+$((WY + 331))" "200x3+$((WX + 180))+$((WY + 113))"; do
  [ "$(colours "$part")" = 1 ] || fail "the Options panel shows what lies under it at $part"
done
click_at "$((WX + 512))" "$((WY + 368))"

# Each way back after Hide, then the window as the window manager keeps it.
ways="double-click Restore second-start"
[ "$path" = xembed ] || [ "$click_activates" = no ] || ways="click $ways"
for way in $ways; do
  hide_from_tray
  keep "hidden-before-$way"
  case "$way" in
    click) click_at "$icon_x" "$icon_y" ;;
    double-click) double_click_at "$icon_x" "$icon_y" ;;
    Restore) tray_menu 2 ;;
    second-start)
      "$program" >> "$work/program.log" 2>&1 || fail "the second start ended with status $?" ;;
  esac
  wait_for 10 "the window's return after $way" shown
  # Still there a moment later: nothing sent it away again.
  sleep 1.5
  shown || fail "the window went away again after $way"
  keep "restored-by-$way"
done

tray_menu 4
for _ in $(seq 50); do running || break; sleep 0.2; done
running && fail "the program did not end after Exit"
wait "$pid" || fail "the program ended with status $?"
cmp -s <(sort "$XDG_DATA_HOME/Folderly/List1.txt") <(sort "$work/lists.expected") ||
  fail "List 1 was not written back: $(head -c 200 "$XDG_DATA_HOME/Folderly/List1.txt" | cat -A)"
[ -n "$long_run" ] && close_during_run
exit 0
SESSION
export program work here kind desktop path long_run
desktop_args=(--desktop "$desktop")
[ "$kind" = wayland ] && desktop_args=("$desktop")
bash "$here/$runner" "${desktop_args[@]}" -- bash "$work/session.sh"
status=$?
if [ "$status" != 0 ]; then
  [ "$status" = 77 ] && exit 77
  echo "--- program output"; cat "$work/program.log" 2>/dev/null
  name="folderly-e2e-$desktop${path:+-$path}-failure.png"
  [ -f "$work/failure.png" ] && cp "$work/failure.png" "/tmp/$name" && echo "screenshot: /tmp/$name"
  exit 1
fi
echo "e2e: 1 passed, 0 failed"
