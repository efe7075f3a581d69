# Sourced by wayland_desktop.sh: starts each Wayland desktop in
# $XDG_RUNTIME_DIR and exports what its clients need. A start returns 77
# after saying "SKIP:" and why when the machine cannot run the desktop.
need() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null ||
      { echo "SKIP: $tool is missing (scripts/install-deps.sh installs it)" >&2; return 77; }
  done
}

# A session bus of the desktop's own that every user may use (sway runs as
# another user than the program), and what it starts gets the desktop's
# surroundings.
start_bus() {  # start_bus FOLDER
  local folder="$1"
  mkdir -p "$folder" && chmod 755 "$folder"
  cat > "$folder/session.conf" <<CONF
<busconfig>
  <type>session</type>
  <listen>unix:path=$folder/session</listen>
  <auth>EXTERNAL</auth>
  <standard_session_servicedirs/>
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
  start_helper dbus-daemon --config-file="$folder/session.conf" --nofork --nopidfile
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$folder/session"
  wait_until 10 test -S "$folder/session"
}
bus_name_owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
    "string:$1" 2>/dev/null | grep -q 'boolean true'
}

start_weston() {
  need weston weston-screenshooter || return
  local socket="folderly-$$"
  start_helper weston --backend=headless-backend.so --use-pixman --debug --socket="$socket" --idle-time=0 \
    --width=1024 --height=768 --log="$XDG_RUNTIME_DIR/weston.log"
  wait_until 10 test -S "$XDG_RUNTIME_DIR/$socket" || return 2
  # The shell's panel and background come a moment after the socket.
  sleep 1
  export WAYLAND_DISPLAY="$socket"
}

# sway will not run as root: a user of the test's own runs it and waybar.
start_sway() {
  need sway waybar grim swaymsg dbus-daemon useradd setpriv || return
  local user="folderly-e2e-$$" uid folder
  if [ "$(id -u)" = 0 ]; then
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user" 2>>"$log" ||
      { echo "SKIP: no user of the test's own could be made to run sway (useradd failed)" >&2; return 77; }
    cleanups+=("userdel $user 2>/dev/null")
    uid=$(id -u "$user")
  else
    uid=$(id -u)
  fi
  # Outside the program's folders, which only their owner may enter.
  folder=$(mktemp -d /tmp/folderly-sway-XXXXXX)
  cleanups+=("rm -rf $folder")
  start_bus "$folder/bus" || return 2
  mkdir -p "$folder/runtime"
  chmod 755 "$folder"
  chown "$uid" "$folder/runtime" && chmod 700 "$folder/runtime"
  cat > "$folder/waybar.json" <<'JSON'
{"position": "bottom", "height": 30, "modules-right": ["tray"], "tray": {"icon-size": 22, "spacing": 4}}
JSON
  cat > "$folder/sway.conf" <<CONF
output HEADLESS-1 resolution 1024x768 position 0,0 bg #000000 solid_color
exec waybar -c $folder/waybar.json
CONF
  chmod 644 "$folder/waybar.json" "$folder/sway.conf"
  local as_user=()
  [ "$(id -u)" = 0 ] && as_user=(setpriv --reuid="$uid" --regid="$uid" --clear-groups)
  start_helper "${as_user[@]}" env -i PATH=/usr/bin:/bin HOME="$folder" \
    XDG_RUNTIME_DIR="$folder/runtime" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" sway -c "$folder/sway.conf"
  wait_until 15 test -S "$folder/runtime/wayland-1" || return 2
  export WAYLAND_DISPLAY="$folder/runtime/wayland-1"
  SWAYSOCK=$(ls "$folder"/runtime/sway-ipc.*.sock 2>/dev/null | head -1)
  export SWAYSOCK
  # sway has no input device: the pointer is a virtual one.
  start_input python3 "$here/virtual_pointer.py" "$FOLDERLY_POINTER" 1024 768 || return 2
  # waybar's tray is the status-notifier watcher and host.
  wait_until 15 bus_name_owned org.kde.StatusNotifierWatcher || return 2
  sleep 0.5
}

# The machine has no system bus: a stand-in, else the shell stops early.
start_system_bus() {
  start_helper dbus-daemon --session --address="unix:path=$XDG_RUNTIME_DIR/system_bus_socket" --nofork --nopidfile
  export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/system_bus_socket"
  wait_until 10 test -S "$XDG_RUNTIME_DIR/system_bus_socket"
}
# The desktop's input helper reads its commands from the pipe $FOLDERLY_POINTER.
export FOLDERLY_POINTER="$XDG_RUNTIME_DIR/input"
start_input() {  # start_input COMMAND...
  mkfifo "$FOLDERLY_POINTER"
  start_helper "$@"
  wait_until 10 grep -q '^ready' "$log"
}
# What the desktop started for itself (through its bus, too) outlives it:
# every process that carries this desktop's mark in its environment ends,
# by its process number.
export FOLDERLY_DESKTOP_MARK="$$-$RANDOM"
end_leftovers() {
  local entry pid
  for entry in /proc/[0-9]*; do
    pid=${entry#/proc/}
    [ "$pid" = $$ ] || [ "$pid" = "$BASHPID" ] && continue
    grep -qzx "FOLDERLY_DESKTOP_MARK=$FOLDERLY_DESKTOP_MARK" "$entry/environ" 2>/dev/null && kill "$pid" 2>/dev/null
  done
}

start_gnome() {
  need gnome-shell gsettings dbus-daemon || return
  [ -d /usr/share/gnome-shell/extensions/ubuntu-appindicators@ubuntu.com ] ||
    { echo "SKIP: GNOME Shell's AppIndicator extension is missing (scripts/install-deps.sh installs it)" >&2; return 77; }
  /usr/bin/python3 -c 'import dbus' 2>/dev/null || { echo "SKIP: python3-dbus is missing" >&2; return 77; }
  start_system_bus && start_bus "$XDG_RUNTIME_DIR/bus" || return 2
  gsettings set org.gnome.shell enabled-extensions "['ubuntu-appindicators@ubuntu.com']" &&
    gsettings set org.gnome.desktop.interface enable-hot-corners false || return 2
  local socket="folderly-gnome-$$"
  # FOLDERLY_GNOME_SCREEN: the monitor's size, 1024x768 unless a picture needs more room.
  start_helper gnome-shell --headless --virtual-monitor "${FOLDERLY_GNOME_SCREEN:-1024x768}" --wayland --no-x11 \
    --wayland-display="$socket"
  wait_until 30 test -S "$XDG_RUNTIME_DIR/$socket" || return 2
  export WAYLAND_DISPLAY="$socket"
  wait_until 30 bus_name_owned org.kde.StatusNotifierWatcher || return 2
  # A window, a screenshot or input before the shell's start is over can
  # crash it.
  wait_until 30 grep -q 'GNOME Shell started' "$log" || return 2
  /usr/bin/python3 "$here/gnome_shell.py" overview-off >>"$log" 2>&1 || return 2
  start_input /usr/bin/python3 "$here/gnome_shell.py" input "$XDG_RUNTIME_DIR/input" || return 2
  # (the overview's closing takes a moment)
  sleep 1
}

start_kde() {
  need kwin_wayland plasmashell dbus-update-activation-environment dbus-daemon || return
  /usr/bin/python3 -c 'import dbus' 2>/dev/null || { echo "SKIP: python3-dbus is missing" >&2; return 77; }
  start_system_bus && start_bus "$XDG_RUNTIME_DIR/bus" || return 2
  # kwin_wayland carries a file capability that this machine may refuse; a
  # copy carries none.
  local kwin="$XDG_RUNTIME_DIR/kwin_wayland" socket="folderly-kde-$$"
  cp "$(command -v kwin_wayland)" "$kwin" || return 2
  export XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5
  # (the checks would keep screenshots and the virtual pointer from the tests)
  KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 start_helper "$kwin" --virtual --width 1024 --height 768 \
    --socket "$socket" --no-lockscreen
  wait_until 30 test -S "$XDG_RUNTIME_DIR/$socket" || return 2
  export WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland
  # Else kded5, which holds the status-notifier watcher, dies at its start.
  dbus-update-activation-environment WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_CURRENT_DESKTOP KDE_FULL_SESSION \
    KDE_SESSION_VERSION DBUS_SYSTEM_BUS_ADDRESS XDG_RUNTIME_DIR >>"$log" 2>&1 || return 2
  start_helper plasmashell --no-respawn
  wait_until 60 bus_name_owned org.kde.StatusNotifierWatcher || return 2
  start_input python3 "$here/virtual_pointer.py" "$FOLDERLY_POINTER" 1024 768 || return 2
  # (the panel fills in a moment after the watcher)
  sleep 3
}
