#!/usr/bin/env bash
# Runs a command on a private virtual display (Xvfb) with a notification area
# (trayer), so that the program's window, tray icon and balloons really appear.
#
#   virtual_desktop.sh [--shot FILE.png] [--size WxH] [--no-tray] -- COMMAND [ARG...]
#
# COMMAND runs with DISPLAY set; xdotool and ImageMagick's import work inside
# it. With --shot the whole screen is saved just before the desktop goes.
# --no-tray leaves the notification area out (a desktop whose tray, if any,
# is reached over D-Bus). Exits with COMMAND's status; 77 (skipped) when Xvfb
# or trayer is missing.
set -u
shot="" size="1024x768" tray_tool=trayer
while [ $# -gt 0 ]; do
  case "$1" in
    --shot) shot="$2"; shift 2 ;;
    --size) size="$2"; shift 2 ;;
    --no-tray) tray_tool=""; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: virtual_desktop.sh [--shot FILE.png] [--size WxH] [--no-tray] -- COMMAND [ARG...]" >&2; exit 2; }
for tool in Xvfb $tray_tool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 77; }
done

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
export DISPLAY=":$number"
tray=""
if [ -n "$tray_tool" ]; then
  trayer --edge bottom --align right --widthtype pixel --width 240 \
         --heighttype pixel --height 30 --transparent false >/dev/null 2>&1 &
  tray=$!
  # The notification area must own its selection before a program looks for
  # it, else the program starts as on a desktop without one. (On a busy
  # machine trayer's window comes well before the selection.)
  tray_owned() {
    python3 - 2>/dev/null <<'PYTHON'
import ctypes, sys
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
display = x.XOpenDisplay(None)
sys.exit(0 if display and x.XGetSelectionOwner(display, x.XInternAtom(display, b"_NET_SYSTEM_TRAY_S0", 0)) else 1)
PYTHON
  }
  for _ in $(seq 100); do
    if command -v python3 >/dev/null; then
      tray_owned && break
    else
      [ -n "$(xdotool search --class trayer 2>/dev/null | head -1)" ] && break
    fi
    sleep 0.1
  done
  sleep 0.3
fi
"$@"
status=$?
if [ -n "$shot" ] && command -v import >/dev/null; then import -window root "$shot" 2>/dev/null; fi
[ -n "$tray" ] && { kill "$tray" 2>/dev/null; wait "$tray" 2>/dev/null; }
kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
exit $status
