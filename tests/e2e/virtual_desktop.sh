#!/usr/bin/env bash
# Runs a command on a private virtual X11 display (Xvfb) under a window
# manager, with a notification area, so that the program's window, tray icon
# and balloons really appear and the window manager's rules apply to them.
#
#   virtual_desktop.sh [--desktop NAME] [--shot FILE.png] [--size WxH] [--no-tray] -- COMMAND [ARG...]
#
# NAME is one of
#   openbox  openbox with trayer's notification area (XEmbed); the default
#   xfce     xfwm4, xfce4-panel (its tray hosts status-notifier and XEmbed
#            icons) and xfce4-notifyd, on a private session bus
#   lxqt     openbox with lxqt-panel (status-notifier and XEmbed trays), on
#            a private session bus
#   none     no window manager: a bare X server with trayer
# COMMAND runs with DISPLAY and FOLDERLY_DESKTOP=NAME set; xdotool and
# ImageMagick's import work inside it. With --shot the whole screen is saved
# just before the desktop goes. --no-tray leaves the notification area out
# (openbox and none). Exits with COMMAND's status; 77 (skipped) when a tool
# of the desktop is missing.
set -u
here="$(dirname "$(readlink -f "$0")")"
shot="" size="1024x768" desktop=openbox tray_tool=trayer args=("$@")
while [ $# -gt 0 ]; do
  case "$1" in
    --desktop) desktop="$2"; shift 2 ;;
    --shot) shot="$2"; shift 2 ;;
    --size) size="$2"; shift 2 ;;
    --no-tray) tray_tool=""; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: virtual_desktop.sh [--desktop openbox|xfce|lxqt|none] [--shot FILE.png] [--size WxH] [--no-tray] -- COMMAND [ARG...]" >&2; exit 2; }
case "$desktop" in
  openbox) needed="openbox $tray_tool" ;;
  none) needed="$tray_tool" ;;
  xfce) needed="xfwm4 xfce4-panel dbus-run-session" tray_tool="" ;;
  lxqt) needed="openbox lxqt-panel dbus-run-session" tray_tool="" ;;
  *) echo "virtual_desktop.sh: no desktop $desktop" >&2; exit 2 ;;
esac
for tool in Xvfb $needed; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 77; }
done
# The panels talk to their services over a session bus of their own, started
# after the caller's home was set so that the services it starts use it too.
if [ "$desktop" = xfce ] || [ "$desktop" = lxqt ]; then
  if [ -z "${FOLDERLY_PRIVATE_BUS:-}" ]; then
    FOLDERLY_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "${args[@]}" 2> >(grep -v 'fd limit' >&2)
  fi
fi
source "$here/x11_desktop_parts.sh"

# Xvfb picks a free display itself and writes its number to the given fd.
exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
number=""
read -r -t 10 number <&"$displayfd" || true
exec {displayfd}>&-
if [ -z "$number" ]; then
  echo "virtual_desktop.sh: Xvfb did not start" >&2
  kill "$xvfb" 2>/dev/null
  exit 2
fi
export DISPLAY=":$number" FOLDERLY_DESKTOP="$desktop"
log="${TMPDIR:-/tmp}/folderly-desktop-$$.log"
helpers=()
start_helper() { "$@" >>"$log" 2>&1 & helpers+=($!); }
status=0
case "$desktop" in
  openbox) start_helper openbox --sm-disable ;;
  xfce) start_xfce || status=2 ;;
  lxqt) start_lxqt || status=2 ;;
esac
if [ -n "$tray_tool" ] && [ "$status" = 0 ]; then
  start_helper trayer --edge bottom --align right --widthtype pixel --width 240 \
    --heighttype pixel --height 30 --transparent false
fi
[ "$status" = 0 ] && { desktop_ready || status=2; }
if [ "$status" = 0 ]; then
  "$@"
  status=$?
else
  echo "virtual_desktop.sh: the $desktop desktop did not start:" >&2
  cat "$log" >&2
fi
if [ -n "$shot" ] && command -v import >/dev/null; then import -window root "$shot" 2>/dev/null; fi
for helper in "${helpers[@]}"; do kill "$helper" 2>/dev/null; done
for helper in "${helpers[@]}"; do wait "$helper" 2>/dev/null; done
kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
rm -f "$log"
exit $status
