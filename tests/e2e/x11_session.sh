# Sourced inside an X11 desktop of virtual_desktop.sh: what a person does and
# sees there, for the sessions that run on every desktop (desktop_session.sh).
# The same functions exist for Wayland in wayland_session.sh.

# The colour of the program's button face.
face='srgb(239,239,239)'
shot() { import -window root "$1" 2>/dev/null; }
click_at() { xdotool mousemove "$1" "$2" click 1; }
double_click_at() { xdotool mousemove "$1" "$2" click --repeat 2 --delay 80 1; }
right_click_at() { xdotool mousemove "$1" "$2" click 3; }
press_keys() { xdotool key "$@"; }
# Whether a menu is open on the screen: the program's own or a panel's.
menu_open() { /usr/bin/python3 "$here/x11_menu_open.py"; }
# The item at a position from the top of the open menu: chosen by keys.
choose_menu_item() {
  local keys=()
  for _ in $(seq "$1"); do keys+=(Down); done
  press_keys "${keys[@]}" Return
}
# Where the tray icon is: every X11 desktop here has its tray at the right end
# of a 30-pixel panel along the bottom of the 1024x768 screen.
icon_x=1008 icon_y=753
# A click on a status-notifier icon activates it there.
click_activates=yes
# The main window's inside on the screen, as WX and WY; fails while the
# window is not mapped (hidden, or iconified by the window manager).
window_origin() {
  local window
  window=$(xdotool search --onlyvisible --name '^Folderly 1\.3' 2>/dev/null | head -1)
  [ -n "$window" ] || return 1
  # (xdotool counts a reparenting window manager's frame twice)
  WX=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ { print $NF }')
  WY=$(xwininfo -id "$window" | awk '/Absolute upper-left Y/ { print $NF }')
  [ -n "$WX" ] && [ -n "$WY" ]
}
# The window manager's view of the main window: its WM_STATE and whether
# WM_HINTS asks for it to start iconic, for the failure messages.
window_manager_view() {
  local window
  for window in $(xdotool search --name '^Folderly 1\.3' 2>/dev/null); do
    xprop -id "$window" WM_STATE WM_HINTS _NET_WM_STATE 2>/dev/null | grep -E 'state|Initial' | tr '\n' ' '
  done
}
