#!/usr/bin/env bash
# Installs what building, running and testing Folderly needs, from Debian's
# packages. Quiet and quick when everything is already there.
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  # the style checks
  clang-format clang-tidy
  # the fuzz targets (scripts/fuzz.sh): clang with libFuzzer and the sanitizers' runtimes
  clang-14 libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # the translations: lrelease and Qt's CMake functions for them
  qt6-l10n-tools qt6-tools-dev
  # the runs' memory
  libsqlite3-dev
  libgtest-dev libgmock-dev
  # the desktops' default fonts, which the caption test measures with
  fonts-dejavu-core fonts-cantarell fonts-noto-core
  # the real-desktop tests: a virtual display, a notification area, input and screenshots
  xvfb trayer xdotool imagemagick x11-utils
  # a window manager's pings and a window that covers the program's for a moment
  python3-xlib
  # checks the installed desktop entry
  desktop-file-utils
  # status-notifier trays and notifications on a private session bus, Wayland
  dbus python3-dbus python3-gi weston qt6-wayland
  # the desktops people use, each started by the end-to-end tests on a private
  # display and bus: XFCE's window manager, panel and notifications; openbox
  # with LXQt's panel; sway with waybar (grim takes its screenshots); GNOME
  # Shell with its AppIndicator extension; KDE Plasma
  xfwm4 xfce4-panel xfce4-notifyd openbox lxqt-panel
  sway waybar grim
  gnome-shell gnome-shell-extension-appindicator
  kwin-wayland plasma-workspace plasma-desktop qtwayland5
  # the package: its dependencies, its metainfo
  dpkg-dev appstream
  # the package's checks against Debian's policy
  lintian
  # the removable-drive test: FAT, exFAT and NTFS images mounted through FUSE
  dosfstools fusefat exfatprogs exfat-fuse ntfs-3g
  # the power-cut test: ext4, XFS and btrfs images, shut down with xfs_io
  e2fsprogs xfsprogs btrfs-progs
  # the ACL tests: setfacl and getfacl
  acl
  # the Trash test: the desktop's own listing and restoring (gio, gvfs)
  libglib2.0-bin gvfs
  # the watch test: a system call made to fail (strace's fault injection)
  strace
  # the network-share test: a Samba share mounted through gvfs's FUSE folder
  # on a private session bus, and a folder over SSH mounted with sshfs
  samba smbclient gvfs-backends gvfs-fuse openssh-server sshfs
)
if [ "${1:-}" = "--bench" ]; then
  # the comparison tools, and what bench/RESULTS.md's profiles were taken with
  packages+=(hyperfine rsync time linux-perf strace)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
