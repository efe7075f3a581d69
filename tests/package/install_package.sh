#!/usr/bin/env bash
# The Debian package of this build: cpack makes it with its dependencies
# computed, it holds everything the desktop and a software centre look for,
# lintian finds no error in it, dpkg installs it, the installed program runs,
# its help buttons open the installed documents and its autostart entry names
# the installed program; then the package is removed again, also when a check
# failed.
#
#   install_package.sh BUILD_DIR VIRTUAL_DESKTOP
set -u
build="$1" xdesk="$2"
here="$(dirname "$(readlink -f "$0")")"
skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "installing a package needs root"
for tool in cpack dpkg dpkg-deb dpkg-shlibdeps lintian Xvfb trayer xdotool xprop import; do
  command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps.sh installs it)"
done
dpkg-query -W -f='${Status}' folderly 2>/dev/null | grep -q 'install ok installed' &&
  skip "a folderly package is installed already; this test would replace it"

work=$(mktemp -d /tmp/folderly-package-XXXXXX)
installed=""
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# dpkg waits for nobody: another installation holds its lock for a while.
dpkg_patiently() {
  for _ in $(seq 60); do
    dpkg "$@" >"$work/dpkg.log" 2>&1 && return 0
    grep -q 'lock' "$work/dpkg.log" || break
    sleep 2
  done
  cat "$work/dpkg.log"
  return 1
}
finish() {
  if [ -n "$installed" ] && ! dpkg_patiently --purge folderly; then
    echo "FAIL: the package could not be removed; remove it with: dpkg --purge folderly"
    failures=$((failures + 1))
  fi
  rm -rf "$work"
  [ "$failures" = 0 ] || exit 1
}
trap finish EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack failed"; exit 1; }
deb=$(ls "$work"/out/folderly_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { fail "cpack made no .deb"; exit 1; }

# Its contents, as "/usr/local/bin/folderly" (the prefix is the build's).
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\.||' | grep -v '/$' > "$work/files"
binary=$(grep '/bin/folderly$' "$work/files")
prefix=${binary%/bin/folderly}
[ -n "$binary" ] || { fail "no bin/folderly in the package"; exit 1; }
for file in bin/folderly share/applications/folderly.desktop share/icons/hicolor/48x48/apps/folderly.png \
            share/icons/hicolor/scalable/apps/folderly.svg share/folderly/FOLDERLY_13.HLP \
            share/folderly/ALLPROGS.HLP share/metainfo/com.vantrel.folderly.metainfo.xml \
            share/man/man1/folderly.1.gz; do
  grep -qx "$prefix/$file" "$work/files" || fail "the package lacks $prefix/$file"
done
# Debian's places for the copyright (machine-readable) and the changelogs,
# whatever the prefix.
for file in copyright changelog.Debian.gz changelog.gz; do
  grep -qx "/usr/share/doc/folderly/$file" "$work/files" || fail "the package lacks /usr/share/doc/folderly/$file"
done
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/folderly/copyright 2>/dev/null | head -1 |
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not in Debian's machine-readable format"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ".$prefix/share/metainfo/com.vantrel.folderly.metainfo.xml" |
  grep -q '<release version="1.3"' || fail "the metainfo names no release 1.3"
# Computed from the binary, so the Qt libraries and the C library are named.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libqt6core6 libqt6widgets6 libqt6dbus6; do
  grep -q "$library" <<< "$depends" || fail "Depends lacks $library: $depends"
done
dpkg-deb -f "$deb" Recommends | grep -q 'xdg-utils' || fail "Recommends lacks xdg-utils, which opens the help"
# Debian's policy, as lintian checks it: no errors. A build for a prefix other
# than /usr (the test build's /usr/local) is against the policy by its place
# alone; the release package (make package) is for /usr.
suppress=""
[ "$prefix" = /usr ] || suppress="dir-in-usr-local,file-in-usr-local,file-in-unusual-dir"
lintian --fail-on error ${suppress:+--suppress-tags "$suppress"} "$deb" >"$work/lintian.log" 2>&1 ||
  { grep -v 'root privileges' "$work/lintian.log"; fail "lintian finds errors in the package"; }
while read -r file; do
  [ -e "$file" ] && skip "$file is there already; installing the package would replace it"
done < "$work/files"

dpkg_patiently -i "$deb" || { fail "dpkg -i failed"; exit 1; }
installed=yes

[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$binary" --version)" = "Folderly 1.3" ] ||
  fail "the installed folderly --version printed something else"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/com.vantrel.folderly.metainfo.xml" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log"; fail "the metainfo file is not valid"; }
fi
if command -v man >/dev/null; then
  MANPAGER=cat man -l "$prefix/share/man/man1/folderly.1.gz" 2>/dev/null | grep -q -- "--run" ||
    fail "the manual page does not read"
fi

# The installed program on a desktop: both help buttons open the installed
# documents, and the autostart entry written at the end names the program.
export HOME="$work/home" XDG_DATA_HOME="$work/home/share" XDG_CONFIG_HOME="$work/home/config"
export XDG_STATE_HOME="$work/home/state"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_DATA_HOME/Folderly" "$XDG_CONFIG_HOME/Vantrel" "$XDG_RUNTIME_DIR" "$work/bin"
chmod 700 "$XDG_RUNTIME_DIR"
printf '[General]\nAutostart=int:1\n' > "$XDG_CONFIG_HOME/Vantrel/Folderly.conf"
# The desktop's opener, which here notes what it was asked to open.
printf '#!/bin/sh\necho "$@" >> "%s/opened"\n' "$work" > "$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
cat > "$work/session.sh" <<'SESSION'
set -u
source "$tools"
start_answering_boxes
[ "$boxes" = 0 ] || fail "$boxes boxes at the start"
place_of "$(main_window)"
opened() { grep -qx "file://$prefix/share/folderly/$1" "$work/opened" 2>/dev/null; }
# The "?" button, then the toolbox button beside it.
xdotool mousemove "$((X + 248))" "$((Y + 80))" click 1
wait_for 10 "the help document's opening" opened FOLDERLY_13.HLP
xdotool mousemove "$((X + 296))" "$((Y + 80))" click 1
wait_for 10 "the second help document's opening" opened ALLPROGS.HLP
[ -z "$(message_box)" ] || fail "a message box came up"
kill -TERM "$pid"
for _ in $(seq 100); do running || break; sleep 0.1; done
running && fail "the program did not end"
wait "$pid"
exit 0
SESSION
export program="$binary" work prefix tools="$here/../e2e/session_tools.sh"
PATH="$work/bin:$PATH" bash "$xdesk" -- bash "$work/session.sh" ||
  { fail "the installed program on the desktop"; cat "$work/program.log" 2>/dev/null; }
entry="$XDG_CONFIG_HOME/autostart/Folderly.desktop"
grep -qx "Exec=$binary" "$entry" 2>/dev/null || fail "the autostart entry does not start $binary: $(cat "$entry" 2>&1)"
grep -qx "Icon=folderly" "$entry" 2>/dev/null || fail "the autostart entry has no icon: $(cat "$entry" 2>&1)"

dpkg_patiently --purge folderly || fail "dpkg --purge failed"
installed=""
[ ! -e "$binary" ] || fail "$binary is still there after the removal"
[ "$failures" = 0 ] && echo "package: installed, checked and removed"
