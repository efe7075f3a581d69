# Sourced by virtual_desktop.sh: starts the parts of the X11 desktops and
# tells when they are ready. Needs $DISPLAY, start_helper and a private home.
here="${here:-$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")}"

# Whether the X server has an owner of the selection, as its name (1) tells.
selection_owned() {
  python3 - "$1" 2>/dev/null <<'PYTHON'
import ctypes, sys
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
display = x.XOpenDisplay(None)
sys.exit(0 if display and x.XGetSelectionOwner(display, x.XInternAtom(display, sys.argv[1].encode(), 0)) else 1)
PYTHON
}
bus_name_owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
    "string:$1" 2>/dev/null | grep -q 'boolean true'
}
# A window manager is there once it owns the screen's manager selection.
wm_ready() { selection_owned WM_S0; }

# The panel at the bottom, 30 pixels high: the task list, then the tray at
# the right end (icons 22 pixels).
start_xfce() {
  local channel="$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
  mkdir -p "$channel"
  cat > "$channel/xfce4-panel.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=8;x=512;y=753"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="30"/>
      <property name="icon-size" type="uint" value="22"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
        <value type="int" value="2"/>
        <value type="int" value="3"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="tasklist"/>
    <property name="plugin-2" type="string" value="separator">
      <property name="expand" type="bool" value="true"/>
      <property name="style" type="uint" value="0"/>
    </property>
    <property name="plugin-3" type="string" value="systray">
      <property name="square-icons" type="bool" value="true"/>
    </property>
  </property>
</channel>
XML
  start_helper xfwm4 --compositor=off --sm-client-disable
  start_helper xfce4-panel --sm-client-disable
  start_helper /usr/lib/x86_64-linux-gnu/xfce4/notifyd/xfce4-notifyd
  desktop_parts_ready() {
    wm_ready && selection_owned _NET_SYSTEM_TRAY_S0 && bus_name_owned org.kde.StatusNotifierWatcher &&
      bus_name_owned org.freedesktop.Notifications
  }
}

# LXQt's panel at the bottom: the task bar, its status-notifier area, then
# its XEmbed tray at the right end.
start_lxqt() {
  mkdir -p "$XDG_CONFIG_HOME/lxqt"
  cat > "$XDG_CONFIG_HOME/lxqt/panel.conf" <<'CONF'
[General]
__userfile__=true

[panel1]
plugins=taskbar,statusnotifier,tray
position=Bottom
panelSize=30
iconSize=22
desktop=0

[taskbar]
type=taskbar
buttonWidth=220

[statusnotifier]
alignment=Right
type=statusnotifier

[tray]
alignment=Right
type=tray
CONF
  start_helper openbox --sm-disable
  start_helper lxqt-panel
  desktop_parts_ready() {
    wm_ready && selection_owned _NET_SYSTEM_TRAY_S0 && bus_name_owned org.kde.StatusNotifierWatcher
  }
}

desktop_parts_ready() { wm_ready; }
# Waits for the window manager, the notification area and the bus services.
desktop_ready() {
  for _ in $(seq 150); do
    if { [ "$desktop" = none ] || desktop_parts_ready; } &&
       { [ -z "${tray_tool:-}" ] || selection_owned _NET_SYSTEM_TRAY_S0; }; then
      # (on a busy machine a panel's window comes well before its tray)
      sleep 0.3
      return 0
    fi
    sleep 0.1
  done
  return 1
}
