# Sourced inside a Wayland desktop of wayland_desktop.sh: what a person does
# and sees there, the same functions as x11_session.sh gives on X11, each
# through the means of the desktop in $FOLDERLY_DESKTOP.
here="${here:-$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")}"
# The colour of the program's button face, unless the desktop gives it its own.
face='srgb(239,239,239)'

case "${FOLDERLY_DESKTOP:-weston}" in
  weston)
    # The screen as the compositor shows it (weston gives this to clients
    # only when started with --debug); the file is written to the current folder.
    shot() {
      local folder status
      folder=$(mktemp -d)
      (cd "$folder" && weston-screenshooter >/dev/null 2>&1)
      mv "$folder"/*.png "$1" 2>/dev/null
      status=$?
      rm -rf "$folder"
      return $status
    }
    ;;
  sway)
    shot() { grim "$1" 2>/dev/null; }
    pointer() { echo "$*" > "$FOLDERLY_POINTER"; }
    click_with() {  # click_with BUTTON X Y
      pointer move "$2" "$3"
      sleep 0.05
      pointer press "$1"
      pointer release "$1"
    }
    click_at() { click_with left "$1" "$2"; }
    right_click_at() { click_with right "$1" "$2"; }
    double_click_at() { click_at "$1" "$2"; sleep 0.08; click_at "$1" "$2"; }
    # waybar opens the icon's menu above the icon, 24 pixels an item.
    choose_menu_item() { click_at 900 $((638 + 24 * $1)); }
    # waybar's tray: the right end of its 30-pixel bar along the bottom; a
    # click activates the icon.
    icon_x=1003 icon_y=752 click_activates=yes
    # sway floats a window of fixed size; its tree tells where the inside is.
    window_origin() {
      local place
      place=$(swaymsg -t get_tree 2>/dev/null | python3 -c '
import json, sys
def walk(node):
    if node.get("app_id") == "folderly" and node.get("visible"):
        print(node["rect"]["x"] + node["window_rect"]["x"], node["rect"]["y"] + node["window_rect"]["y"])
        sys.exit(0)
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)
walk(json.load(sys.stdin))
sys.exit(1)') || return 1
      read -r WX WY <<< "$place"
    }
    ;;
esac
case "${FOLDERLY_DESKTOP:-weston}" in
  gnome)
    shot() { /usr/bin/python3 "$here/gnome_shell.py" shot "$1" 2>/dev/null; }
    # The extension shows the icon's menu below it in the top bar, 36
    # pixels an item; a click of the icon opens it too, a double click
    # activates the icon.
    screen=${FOLDERLY_GNOME_SCREEN:-1024x768}
    icon_x=$((${screen%x*} - 144)) icon_y=16 click_activates=no
    choose_menu_item() { click_at "$icon_x" $((34 + 36 * $1)); }
    # Alt+F4: mutter asks the focused window to close and pings it.
    close_window() { pointer key Alt_L+F4; }
    # Qt draws the frame: a 3-pixel border and the title bar above, all in
    # the button face's colour as the window's inside is.
    frame_border=3 top_bar=40
    ;;
  kde)
    shot() { /usr/bin/python3 "$here/kwin_screenshot.py" "$1" 2>/dev/null; }
    # The system tray at the right of the panel along the bottom; a click
    # activates the icon.
    icon_x=815 icon_y=746 click_activates=yes
    # Plasma opens its menu above the icon, 26 pixels an item.
    choose_menu_item() { click_at 840 $((602 + 26 * $1)); }
    # KWin draws the frame, in colours of its own; Plasma gives the program
    # its colours.
    frame_border=0 top_bar=0 face='srgb(223,220,217)'
    # A KWin script, loaded under a name of its own and run at once; what it
    # prints goes to KWin's messages, which wayland_desktop.sh keeps.
    kwin_script() {  # kwin_script TEXT
      local name="folderly-$RANDOM$RANDOM" id
      printf '%s\n' "$1" > "$XDG_RUNTIME_DIR/$name.js"
      id=$(dbus-send --session --print-reply=literal --dest=org.kde.KWin /Scripting \
        org.kde.kwin.Scripting.loadScript string:"$XDG_RUNTIME_DIR/$name.js" string:"$name" | awk '{ print $2 }')
      dbus-send --session --print-reply --dest=org.kde.KWin "/$id" org.kde.kwin.Script.run >/dev/null
    }
    # KWin asks the program's main window to close, as its close button
    # does, and pings it.
    close_window() {
      kwin_script 'for (const window of workspace.clientList())
    if (window.caption.startsWith("Folderly 1.3")) window.closeWindow();'
    }
    # The main window's title as KWin shows it.
    window_title() {
      local mark="folderly-title-$RANDOM$RANDOM" title=""
      kwin_script "for (const window of workspace.clientList())
    if (window.caption.startsWith(\"Folderly 1.3\")) print(\"$mark \" + window.caption);"
      for _ in $(seq 20); do
        title=$(sed -n "s/^.*$mark //p" "$XDG_RUNTIME_DIR/desktop.log" | head -1)
        [ -n "$title" ] && break
        sleep 0.1
      done
      echo "$title"
    }
    ;;
esac
case "${FOLDERLY_DESKTOP:-weston}" in
  gnome | kde)
    pointer() { echo "$*" > "$FOLDERLY_POINTER"; }
    click_with() {  # click_with BUTTON X Y
      pointer move "$2" "$3"
      sleep 0.05
      pointer press "$1"
      pointer release "$1"
    }
    click_at() { click_with left "$1" "$2"; }
    right_click_at() { click_with right "$1" "$2"; }
    double_click_at() { click_at "$1" "$2"; sleep 0.08; click_at "$1" "$2"; }
    # The window from the screen alone: the button face's colour, the frame
    # around the inside, below the desktop's top bar.
    window_origin() {
      local box w h x y
      shot "$XDG_RUNTIME_DIR/origin.png" || return 1
      # A speck of the colour elsewhere (a banner's picture) is no window.
      box=$(convert "$XDG_RUNTIME_DIR/origin.png" -chop "0x$top_bar" +repage -fill black \
        +opaque "$face" -morphology Open Square:1 -format '%@' info: 2>/dev/null) || return 1
      IFS='x+' read -r w h x y <<< "$box"
      [ "$w" = $((695 + 2 * frame_border)) ] || return 1
      [ "$h" -ge 477 ] && [ "$h" -lt 560 ] || return 1
      WX=$((x + frame_border)) WY=$((top_bar + y + h - frame_border - 477))
    }
    ;;
esac
# A menu a compositor draws has no window a client can look for: it is given
# a second to open.
menu_open() { sleep 1; }
