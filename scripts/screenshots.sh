#!/usr/bin/env bash
# The README's pictures of the program, taken by the end-to-end session on a
# real desktop (XFCE), so that they show what a user sees:
#
#   bash scripts/screenshots.sh [DESKTOP]    (after a build; DESKTOP: xfce)
#
# writes docs/screenshots/window.png, options.png and tray-menu.png.
set -euo pipefail
cd "$(dirname "$0")/.."
desktop="${1:-xfce}"
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
FOLDERLY_E2E_SHOTS="$shots" bash tests/e2e/desktop_session.sh build/app/folderly "$desktop"
mkdir -p docs/screenshots
cp "$shots/$desktop-1-started.png" docs/screenshots/window.png
cp "$shots/$desktop-2-options.png" docs/screenshots/options.png
# The menu at the icon, in the screen's lower right quarter.
convert "$shots/$desktop-3-menu.png" -crop 512x384+512+384 +repage docs/screenshots/tray-menu.png
echo "docs/screenshots: window.png options.png tray-menu.png ($desktop)"
