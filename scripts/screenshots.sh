#!/usr/bin/env bash
# The README's pictures: Folderly as a person sees it on XFCE and on GNOME,
# keeping their home folders in step with a USB stick.
#
#   sudo bash scripts/screenshots.sh [xfce] [gnome]    (after make build; both when none is named)
#
# For each desktop it makes a person's home, /home/alex with Documents and
# Pictures, and a stick at /media/alex/STICK with folders of the same names
# (a FAT image made with mkfs.vfat -n STICK, loop-mounted, or mounted through
# FUSE where the kernel has no FAT; a plain folder where neither works),
# some files newer on one side, some only on one. List 1 holds the home
# folders, List 2 the stick's, in folders mode with Silent Mode off. On the
# desktop (tests/e2e: virtual_desktop.sh for xfwm4 with xfce4-panel,
# wayland_desktop.sh for GNOME Shell with its AppIndicator extension) it
# takes, in docs/screenshots/:
#   DESKTOP-confirm.png    the run's confirmation, its details open where
#                          the box has a details button (then cancelled)
#   DESKTOP-window.png     the window after the run, with its Report lines
#   DESKTOP-options.png    the Options panel open
#   DESKTOP-tray-menu.png  the tray icon's menu open (cut out)
# The home, the stick, its image and its mount go again at the end.
set -u
cd "$(dirname "$0")/.." || exit 1
top=$(pwd)
program="$top/build/app/folderly"
person=alex
home="/home/$person"
media="/media/$person"
here="$top/tests/e2e"
shots="$top/docs/screenshots"
desktops=("$@")
[ ${#desktops[@]} -gt 0 ] || desktops=(xfce gnome)

die() { echo "screenshots.sh: $*" >&2; exit 1; }
[ "$(id -u)" = 0 ] || die "run as root: it makes $home and mounts the stick at $media/STICK"
[ -x "$program" ] || die "$program is missing: run 'make build' first"
for desktop in "${desktops[@]}"; do
  case "$desktop" in xfce | gnome) ;; *) die "no desktop '$desktop' (xfce, gnome)" ;; esac
done
# Only folders of this script's own are made and removed.
[ ! -e "$home" ] || die "$home exists already; it is left alone"
[ ! -e "$media" ] || die "$media exists already; it is left alone"
for tool in convert python3 mkfs.vfat; do
  command -v "$tool" >/dev/null || die "$tool is missing (scripts/install-deps.sh installs it)"
done

work=$(mktemp -d /tmp/folderly-shots-XXXXXX)
made_media=""
[ -d /media ] || made_media=yes
stick_mount=""  # how the stick is there: kernel, fuse or folder
remove_stick() {
  [ -n "$stick_mount" ] || return 0
  case "$stick_mount" in
    kernel | fuse) umount "$media/STICK" 2>/dev/null || { sleep 1; umount -l "$media/STICK"; } ;;
  esac
  stick_mount=""
  rm -rf "$media" "$work/stick.img"
}
clean_up() {
  remove_stick
  rm -rf "$home" "$work" 2>/dev/null || { sleep 1; rm -rf "$home" "$work"; }
  [ -n "$made_media" ] && rmdir /media 2>/dev/null
  return 0
}
trap clean_up EXIT
trap 'exit 130' INT TERM

# --- The person's files ------------------------------------------------------

# A small photograph-like JPEG: a sky over a field, in colours of its own.
make_jpg() {  # make_jpg FILE SKY GROUND
  convert -size 640x480 "gradient:$2-white" \( -size 640x160 "gradient:$3-black" \) -gravity south -composite \
    -quality 80 "$1"
}
# A one-page PDF with a line of text.
make_pdf() {  # make_pdf FILE TEXT
  python3 - "$1" "$2" <<'PYTHON'
import sys
text = sys.argv[2].replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")
stream = "BT /F1 18 Tf 72 760 Td (%s) Tj ET" % text
objects = [
    "<< /Type /Catalog /Pages 2 0 R >>",
    "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
    "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R /Resources << /Font << /F1 5 0 R >> >> >>",
    "<< /Length %d >>\nstream\n%s\nendstream" % (len(stream), stream),
    "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
]
out = b"%PDF-1.4\n"
offsets = []
for number, body in enumerate(objects, 1):
    offsets.append(len(out))
    out += ("%d 0 obj\n%s\nendobj\n" % (number, body)).encode()
xref = len(out)
out += ("xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)).encode()
out += "".join("%010d 00000 n \n" % offset for offset in offsets).encode()
out += ("trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)).encode()
open(sys.argv[1], "wb").write(out)
PYTHON
}
# An OpenDocument text with one paragraph.
make_odt() {  # make_odt FILE TEXT
  python3 - "$1" "$2" <<'PYTHON'
import sys, zipfile
from xml.sax.saxutils import escape
content = ('<?xml version="1.0" encoding="UTF-8"?>\n'
           '<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
           'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.3">'
           '<office:body><office:text><text:p>%s</text:p></office:text></office:body>'
           '</office:document-content>\n' % escape(sys.argv[2]))
manifest = ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.3">'
            '<manifest:file-entry manifest:full-path="/" manifest:media-type="application/vnd.oasis.opendocument.text"/>'
            '<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>'
            '</manifest:manifest>\n')
with zipfile.ZipFile(sys.argv[1], "w") as odt:
    odt.writestr("mimetype", "application/vnd.oasis.opendocument.text", compress_type=zipfile.ZIP_STORED)
    odt.writestr("content.xml", content, compress_type=zipfile.ZIP_DEFLATED)
    odt.writestr("META-INF/manifest.xml", manifest, compress_type=zipfile.ZIP_DEFLATED)
PYTHON
}
# put FILE TIME: FILE made by its extension, with a text from its name, last
# written at TIME. (Made aside and copied: fusefat writes files only in one go.)
put() {
  local name made
  name=$(basename "$1")
  name=${name%.*}
  made="$work/made.${1##*.}"
  case "$1" in
    *.jpg) make_jpg "$made" "$(sky_of "$name")" "$(ground_of "$name")" ;;
    *.pdf) make_pdf "$made" "$name" ;;
    *.odt) make_odt "$made" "$name" ;;
  esac || die "could not make $1"
  mkdir -p "$(dirname "$1")" && cp "$made" "$1" && touch -d "$2" "$1" || die "could not write $1"
  rm -f "$made"
}
sky_of() { case "$1" in *Beach*) echo SkyBlue ;; *Hike*) echo LightSteelBlue ;; *) echo LightSkyBlue ;; esac; }
ground_of() { case "$1" in *Beach*) echo Khaki ;; *Cake*) echo Pink ;; *) echo ForestGreen ;; esac; }

# The stick: FAT by the kernel where it can, else through FUSE, else a folder.
mount_stick() {
  mkdir -p "$media/STICK"
  truncate -s 32M "$work/stick.img" && mkfs.vfat -n STICK "$work/stick.img" >/dev/null ||
    die "mkfs.vfat could not make the stick's image"
  if mount -o loop,uid=0,gid=0,tz=UTC "$work/stick.img" "$media/STICK" 2>/dev/null; then
    stick_mount=kernel
  elif command -v fusefat >/dev/null && [ -w /dev/fuse ] && fusefat -o rw+ "$work/stick.img" "$media/STICK" 2>/dev/null; then
    stick_mount=fuse
  else
    stick_mount=folder
    echo "screenshots.sh: the stick's image could not be mounted here; $media/STICK is a plain folder" >&2
  fi
}

make_files() {
  mkdir -p "$home" "$home/Desktop" "$home/Downloads" "$home/Music" "$home/Videos"
  mount_stick
  local docs="$home/Documents" pics="$home/Pictures" sdocs="$media/STICK/Documents" spics="$media/STICK/Pictures"
  # In step already on both sides.
  put "$docs/Recipes.odt" '2024-01-20 18:30:00'
  put "$sdocs/Recipes.odt" '2024-01-20 18:30:00'
  put "$pics/Garden party 001.jpg" '2024-06-02 15:12:08'
  put "$spics/Garden party 001.jpg" '2024-06-02 15:12:08'
  # Edited at home since the stick's copy.
  put "$docs/Letter to the landlord.odt" '2024-11-04 09:41:12'
  put "$sdocs/Letter to the landlord.odt" '2024-10-28 20:05:46'
  put "$docs/Tax return 2024.pdf" '2024-11-06 11:02:30'
  put "$sdocs/Tax return 2024.pdf" '2024-09-15 16:48:02'
  # Edited on another computer, from the stick.
  put "$sdocs/Meeting notes.odt" '2024-11-07 14:22:40'
  put "$docs/Meeting notes.odt" '2024-10-30 10:10:10'
  put "$spics/Hike in the Alps.jpg" '2024-08-19 12:00:00'
  put "$pics/Hike in the Alps.jpg" '2024-08-18 19:33:52'
  # Only at home.
  put "$docs/CV Alex Martin.odt" '2024-11-05 21:17:04'
  put "$pics/Beach 2024-07-14.jpg" '2024-07-14 17:45:20'
  put "$pics/Garden party 002.jpg" '2024-06-02 15:13:44'
  # Only on the stick.
  put "$sdocs/Insurance policy.pdf" '2024-10-12 08:30:00'
  put "$spics/Birthday cake.jpg" '2024-09-21 16:05:34'

  export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    XDG_STATE_HOME="$home/.local/state" XDG_CACHE_HOME="$home/.cache"
  mkdir -p "$XDG_DATA_HOME/Folderly" "$XDG_CONFIG_HOME/Vantrel"
  printf '%s\r\n' "$docs" "$pics" > "$XDG_DATA_HOME/Folderly/List1.txt"
  printf '%s\r\n' "$sdocs" "$spics" > "$XDG_DATA_HOME/Folderly/List2.txt"
  printf '[General]\nSilentMode=int:0\nTrayMode=int:0\nSynchroMode=int:1\n' > "$XDG_CONFIG_HOME/Vantrel/Folderly.conf"
  # The desktop's own runtime folder, outside the home.
  export XDG_RUNTIME_DIR="$work/runtime"
  rm -rf "$XDG_RUNTIME_DIR"
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
}

# --- On the desktop ------------------------------------------------------------

cat > "$work/session.sh" <<'SESSION'
set -u
source "$here/${kind}_session.sh"
pid=""
fail() {
  echo "screenshots.sh: $desktop: $*" >&2
  shot "$work/failure.png"
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  exit 1
}
wait_for() {  # wait_for SECONDS DESCRIPTION COMMAND...
  local limit=$1 what=$2; shift 2
  for _ in $(seq $((limit * 4))); do "$@" && return 0; sleep 0.25; done
  fail "$what did not happen within $limit s"
}
keep() { shot "$work/$desktop-$1.png" || fail "no screenshot of $1"; }
shown() { window_origin; }
# The focused window closed as its close button does: Escape in a Qt box on
# X11; GNOME Shell's Alt+F4 (its clients may not get keys sent through its
# remote-desktop session).
if [ "$kind" = x11 ]; then close_box() { press_keys Escape; }; else close_box() { close_window; }; fi
running() { [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; }

# The confirmation box's inside on the screen, as BX BY BW BH.
if [ "$kind" = x11 ]; then
  confirm_box() {
    local box
    box=$(xdotool search --onlyvisible --name '^Confirm$' 2>/dev/null | head -1)
    [ -n "$box" ] || return 1
    eval "$(xwininfo -id "$box" | awk '/Absolute upper-left X/ { print "BX=" $NF } /Absolute upper-left Y/ { print "BY=" $NF }
      /Width:/ { print "BW=" $NF } /Height:/ { print "BH=" $NF }')"
  }
else
  # No window list to ask: the box is where the screen shows the button
  # face's colour besides the main window (at WX, WY before the click, its
  # frame and title bar drawn by Qt in that colour too) and the Shell's top
  # bar. GNOME Shell puts the box where it fits beside the window (on a
  # small screen below it, where its details would reach past the screen's
  # edge: the pictures are taken on a larger one).
  confirm_box() {
    local found
    shot "$work/box.png" || return 1
    found=$(convert "$work/box.png" -fill black -draw "rectangle 0,0 9999,$top_bar" \
      -draw "rectangle $((WX - frame_border - 1)),$((WY - 40)) $((WX + 695 + frame_border)),$((WY + 477 + frame_border))" \
      -fill black +opaque "$face" -format '%@' info: 2>/dev/null) || return 1
    IFS='x+' read -r BW BH BX BY <<< "$found"
    [ -n "$BW" ] && [ "$BW" -gt 150 ] && [ "$BH" -gt 60 ] && [ "$BW" -lt 1000 ]
  }
fi
# No notification of the desktop's on the screen: xfce4-notifyd's bubbles
# are windows of their own; GNOME Shell's banner goes after a few seconds.
if [ "$kind" = x11 ]; then
  no_balloons() { [ -z "$(xdotool search --onlyvisible --class xfce4-notifyd 2>/dev/null)" ]; }
else
  no_balloons() { sleep 6; }
fi
# The buttons along the bottom of a box: "LEFT RIGHT Y FOCUSED" each, from
# the left, inside the box; a button is a run of at least 50 pixels off the
# box's face colour between runs of it, and the focused one (the default
# button at first) has the style's blue frame.
buttons_of_box() {  # buttons_of_box FILE.png
  convert "$1" -crop "${BW}x${BH}+$BX+$BY" +repage -depth 8 rgb:- | python3 -c '
import sys
width, height = int(sys.argv[1]), int(sys.argv[2])
data = sys.stdin.buffer.read()
face = bytes((239, 239, 239))
def pixel(x, y):
    return data[3 * (width * y + x):3 * (width * y + x) + 3]
def runs_of(y):
    runs, start = [], None
    for x in range(width + 1):
        off = x == width or pixel(x, y) == face
        if not off and start is None:
            start = x
        elif off and start is not None:
            if x - start >= 50:
                runs.append((start, x - 1))
            start = None
    return runs
rows = {y: runs_of(y) for y in range(height - 1, max(height - 80, 0), -1)}
most = max((len(runs) for runs in rows.values()), default=0)
if most == 0:
    sys.exit(0)
ys = [y for y, runs in rows.items() if len(runs) == most]
middle = (min(ys) + max(ys)) // 2
for left, right in rows[middle] if len(rows[middle]) == most else rows[ys[0]]:
    blue = any(b > r + 60 for y in ys for x in range(left, right + 1) for r, g, b in [pixel(x, y)])
    print(left, right, middle, int(blue))
' "$BW" "$BH"
}
# Opens the details of the confirmation in the box now shown: a click on
# its details button, the widest of the buttons the box has besides the
# focused OK and a Cancel; a click that hit Cancel closes the box, and the
# next try asks again. Sets $details to what it found.
open_details() {
  local tries=0 buttons candidate left right y height_before
  details="not there"
  while :; do
    shot "$work/box.png"
    buttons=$(buttons_of_box "$work/box.png")
    echo "$desktop: the confirmation's buttons (left right y focused): $(echo "$buttons" | tr '\n' ',')"
    [ "$(echo "$buttons" | grep -c .)" -ge 3 ] || return 0
    candidate=$(echo "$buttons" | awk '$4 == 0 { print $2 - $1, $1, $2, $3 }' | sort -rn | sed -n "$((tries + 1))p")
    [ -n "$candidate" ] || { details="not found"; return 0; }
    read -r _ left right y <<< "$candidate"
    height_before=$BH
    click_at "$((BX + (left + right) / 2))" "$((BY + y))"
    sleep 1
    if confirm_box; then
      [ "$BH" -gt "$height_before" ] && { details=shown; return 0; }
      details="clicked, but the box did not grow"
      return 0
    fi
    # That was Cancel: the run asks again.
    tries=$((tries + 1))
    [ "$tries" -lt 3 ] || { details="not found"; return 0; }
    wait_for 10 "the window after the confirmation" shown
    click_at "$((WX + 504))" "$((WY + 304))"
    wait_for 15 "the run's confirmation" confirm_box
    sleep 1
  done
}

"$program" >> "$work/program.log" 2>&1 &
pid=$!
wait_for 20 "the main window" shown
# (the tray icon comes a moment after the window)
sleep 2

# 1. The run's confirmation, its details open where the box has a details
# button: the widest of three or more along its bottom.
click_at "$((WX + 504))" "$((WY + 304))"
wait_for 15 "the run's confirmation" confirm_box
sleep 1
confirm_box || fail "the confirmation went away"
open_details
keep confirm
echo "$desktop: confirmation taken; details button $details"
# Cancelled here (a box closed by the desktop answers Cancel); the run comes
# next, with OK, the box's focused button at first.
close_box
wait_for 10 "the confirmation's close" eval '! confirm_box'
wait_for 10 "the window after the confirmation" shown

# 2. The run, then the window with its Report lines.
click_at "$((WX + 504))" "$((WY + 304))"
wait_for 15 "the run's second confirmation" confirm_box
sleep 0.5
shot "$work/box.png"
read -r left right y _ <<< "$(buttons_of_box "$work/box.png" | awk '$4 == 1' | head -1)"
[ -n "$left" ] || fail "no focused button in the confirmation"
click_at "$((BX + (left + right) / 2))" "$((BY + y))"
wait_for 30 "the run's copies" test -f "$stick/Documents/CV Alex Martin.odt" -a -f "$home_folder/Pictures/Birthday cake.jpg"
# The run's balloon goes after a few seconds.
sleep 2
wait_for 30 "the run's balloon going" no_balloons
wait_for 20 "the window after the run" shown
keep window

# 3. The Options panel.
click_at "$((WX + 593))" "$((WY + 80))"
sleep 1.5
keep options
click_at "$((WX + 512))" "$((WY + 368))"
sleep 1

# 4. The tray icon's menu, then Exit from it.
right_click_at "$icon_x" "$icon_y"
wait_for 10 "the tray menu" menu_open
sleep 1
keep tray-menu
choose_menu_item 4
for _ in $(seq 50); do running || break; sleep 0.2; done
running && fail "the program did not end after Exit"
exit 0
SESSION

# --- Each desktop ----------------------------------------------------------------

# The cut of each picture, WxH+X+Y; the menu's is around the tray icon.
cut_of() {  # cut_of DESKTOP PICTURE
  case "$1-$2" in
    xfce-tray-menu) echo 420x300+604+468 ;;
    gnome-tray-menu) echo "420x300+$((${FOLDERLY_GNOME_SCREEN%x*} - 420))+0" ;;
    *) echo "" ;;
  esac
}
# GNOME Shell puts the confirmation below the window: a taller screen than
# the tests' shows its details whole.
export FOLDERLY_GNOME_SCREEN=1280x1024
status=0
for desktop in "${desktops[@]}"; do
  make_files
  case "$desktop" in
    xfce) kind=x11; runner=(bash "$here/virtual_desktop.sh" --desktop xfce --) ;;
    gnome) kind=wayland; runner=(bash "$here/wayland_desktop.sh" gnome --) ;;
  esac
  export program work here kind desktop stick="$media/STICK" home_folder="$home"
  case "$stick_mount" in
    kernel) echo "screenshots.sh: $desktop: the stick is a FAT image, loop-mounted" ;;
    fuse) echo "screenshots.sh: $desktop: the stick is a FAT image, mounted through FUSE (fusefat)" ;;
  esac
  if "${runner[@]}" bash "$work/session.sh"; then
    mkdir -p "$shots"
    for picture in confirm window options tray-menu; do
      cut=$(cut_of "$desktop" "$picture")
      # An 8-bit palette keeps the pictures small; the text stays sharp.
      convert "$work/$desktop-$picture.png" ${cut:+-crop "$cut" +repage} -dither None -colors 256 \
        "PNG8:$shots/$desktop-$picture.png"
    done
    echo "screenshots.sh: $desktop: docs/screenshots/$desktop-{confirm,window,options,tray-menu}.png"
  else
    status=1
    echo "--- program output"; cat "$work/program.log" 2>/dev/null
    # Every screen taken, for a look at what went wrong.
    mkdir -p "/tmp/folderly-shots-$desktop-failure"
    cp "$work"/*.png "/tmp/folderly-shots-$desktop-failure/" 2>/dev/null
    echo "screenshots: /tmp/folderly-shots-$desktop-failure/"
  fi
  rm -f "$work/program.log"
  remove_stick
  rm -rf "$home"
done
exit $status
