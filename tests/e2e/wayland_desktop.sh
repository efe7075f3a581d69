#!/usr/bin/env bash
# Runs a command on a private Wayland desktop: a headless weston with its
# desktop shell, which draws into memory, so that screenshots work.
#
#   wayland_desktop.sh [--shot FILE.png] -- COMMAND [ARG...]
#
# COMMAND runs with WAYLAND_DISPLAY set, QT_QPA_PLATFORM=wayland and no
# DISPLAY, so Qt programs are Wayland clients. Inside it, "$0 --screenshot
# FILE.png" saves the screen. Exits with COMMAND's status; 77 (skipped) when
# weston or Qt's Wayland platform is missing.
set -u
here="$(dirname "$(readlink -f "$0")")"

# The screen as the compositor shows it (weston gives this to clients only
# when started with --debug); the file is written to the current folder.
if [ "${1:-}" = "--screenshot" ]; then
  folder=$(mktemp -d)
  (cd "$folder" && weston-screenshooter >/dev/null 2>&1)
  mv "$folder"/*.png "$2" 2>/dev/null
  status=$?
  rm -rf "$folder"
  exit $status
fi

shot=""
while [ $# -gt 0 ]; do
  case "$1" in
    --shot) shot="$2"; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: wayland_desktop.sh [--shot FILE.png] -- COMMAND [ARG...]" >&2; exit 2; }
for tool in weston weston-screenshooter; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 77; }
done
plugins="$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null)"
if ! ls "$plugins"/platforms/libqwayland-generic.so >/dev/null 2>&1; then
  echo "SKIP: Qt's Wayland platform is missing (qt6-wayland; scripts/install-deps.sh installs it)" >&2
  exit 77
fi

export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/folderly-wayland-XXXXXX)}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
socket="folderly-$$"
weston --backend=headless-backend.so --use-pixman --debug --socket="$socket" --idle-time=0 \
       --width=1024 --height=768 --log="$XDG_RUNTIME_DIR/weston.log" >/dev/null 2>&1 &
compositor=$!
for _ in $(seq 100); do
  [ -S "$XDG_RUNTIME_DIR/$socket" ] && break
  sleep 0.1
done
if [ ! -S "$XDG_RUNTIME_DIR/$socket" ]; then
  echo "wayland_desktop.sh: weston did not start" >&2
  cat "$XDG_RUNTIME_DIR/weston.log" >&2 2>/dev/null
  kill "$compositor" 2>/dev/null
  exit 2
fi
# The shell's panel and background come a moment after the socket.
sleep 1
unset DISPLAY
export WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland
"$@"
status=$?
[ -n "$shot" ] && bash "$here/wayland_desktop.sh" --screenshot "$shot"
kill "$compositor" 2>/dev/null; wait "$compositor" 2>/dev/null
exit $status
