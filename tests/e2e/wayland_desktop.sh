#!/usr/bin/env bash
# Runs a command on a private Wayland desktop that draws into memory, so that
# screenshots work:
#
#   wayland_desktop.sh [--shot FILE.png] [DESKTOP] -- COMMAND [ARG...]
#
# DESKTOP is one of
#   weston  a headless weston with its desktop shell; the default
#   sway    a headless sway with waybar (its tray is a status-notifier host),
#           run by an unprivileged user the script makes and removes again,
#           since sway will not run as root
#   gnome   GNOME Shell headless with its AppIndicator extension
#   kde     KDE Plasma: kwin_wayland --virtual with plasmashell
# The desktops other than weston get a session bus of their own (and GNOME
# and KDE a stand-in system bus). COMMAND runs with WAYLAND_DISPLAY set,
# QT_QPA_PLATFORM=wayland, FOLDERLY_DESKTOP=DESKTOP and no DISPLAY, so Qt
# programs are Wayland clients; wayland_session.sh gives it input and
# screenshots. Inside it, "$0 --screenshot FILE.png" saves the screen. Exits
# with COMMAND's status; 77 (skipped, saying why) when the desktop cannot run.
set -u
here="$(dirname "$(readlink -f "$0")")"

if [ "${1:-}" = "--screenshot" ]; then
  source "$here/wayland_session.sh"
  shot "$2"
  exit $?
fi

shot="" desktop=weston
while [ $# -gt 0 ]; do
  case "$1" in
    --shot) shot="$2"; shift 2 ;;
    --) shift; break ;;
    weston | sway | gnome | kde) desktop="$1"; shift ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: wayland_desktop.sh [--shot FILE.png] [weston|sway|gnome|kde] -- COMMAND [ARG...]" >&2; exit 2; }
skip() { echo "SKIP: $*" >&2; exit 77; }
plugins="$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null)"
ls "$plugins"/platforms/libqwayland-generic.so >/dev/null 2>&1 ||
  skip "Qt's Wayland platform is missing (qt6-wayland; scripts/install-deps.sh installs it)"

cleanups=()
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d /tmp/folderly-wayland-XXXXXX)
  cleanups+=("rm -rf $XDG_RUNTIME_DIR")
fi
export XDG_RUNTIME_DIR
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export FOLDERLY_DESKTOP="$desktop"
log="$XDG_RUNTIME_DIR/desktop.log"
helpers=()
start_helper() { "$@" >>"$log" 2>&1 & helpers+=($!); }
wait_until() {  # wait_until SECONDS COMMAND...
  local limit=$1; shift
  for _ in $(seq $((limit * 10))); do "$@" && return 0; sleep 0.1; done
  return 1
}
source "$here/wayland_desktop_parts.sh"

# Whatever happens, the desktop goes with the script.
stop_desktop() {
  for helper in "${helpers[@]}"; do kill "$helper" 2>/dev/null; done
  end_leftovers
  for helper in "${helpers[@]}"; do wait "$helper" 2>/dev/null; done
  for cleanup in "${cleanups[@]}"; do eval "$cleanup"; done
}
trap stop_desktop EXIT
status=0
"start_$desktop" || status=$?
unset DISPLAY
export QT_QPA_PLATFORM=wayland
if [ "$status" = 0 ]; then
  "$@"
  status=$?
  [ -n "$shot" ] && bash "$here/wayland_desktop.sh" --screenshot "$shot"
elif [ "$status" != 77 ]; then
  echo "wayland_desktop.sh: the $desktop desktop did not start:" >&2
  tail -30 "$log" >&2
fi
# The desktop's own messages, for a failure's reader.
[ "$status" != 0 ] && [ -n "${FOLDERLY_DESKTOP_LOG:-}" ] && cp "$log" "$FOLDERLY_DESKTOP_LOG"
exit $status
