#!/usr/bin/env bash
# Starts the built program, or says plainly why it cannot.
set -eu
program="$1"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Folderly needs a graphical desktop, and none is reachable here (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
  echo "Start it from a desktop session, or try it on a virtual desktop: bash tests/e2e/virtual_desktop.sh -- $program" >&2
  exit 1
fi
exec "$program"
