#!/usr/bin/env bash
# "Keep replaced files in the Trash" on the drives a user has: the home file
# system (the home Trash), a second drive mounted from an ext4 image (its
# own .Trash-$uid, or .Trash/$uid where that sticky folder was made for all
# users), and FAT, exFAT and NTFS drives through FUSE (some have no hard
# links: there the old file is moved into the Trash just before the new one
# takes its name). Both modes run; every replaced file must be in the Trash
# of its drive with its old content and time and a .trashinfo, and nothing
# else there. Where the desktop's own tools are here (gio with gvfs, and a
# session bus), "gio trash --list" must list each kept file with the path it
# had, and "gio trash --restore" put one back. Needs root and the drives'
# tools, else it says why and is skipped (exit 77).
#
# usage: trash.sh path/to/folderly_bench
set -uo pipefail

bench=${1:?usage: trash.sh FOLDERLY_BENCH}
skip() { echo "SKIP: $*"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/folderly-trash.XXXXXX")
. "$(dirname "$0")/drive_images.sh"
why=$(drives_unavailable ext4 fat exfat ntfs)
[ -z "$why" ] || skip "$why"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
export XDG_DATA_HOME=$work/home/.local/share
uid=$(id -u)

run() {  # run <mode> <list 1 folder> <list 2 folder>
  "$bench" "$1" --keep-replaced --report --list1 "$2" --list2 "$3" >"$work/run.log" 2>&1 \
    || fail "the $1-mode run failed: $(cat "$work/run.log")"
  ! grep -q 'could not' "$work/run.log" || fail "a copy failed: $(grep 'could not' "$work/run.log")"
}

# The file kept under name in trash holds content with time (within the two
# seconds a FAT drive keeps), and its .trashinfo names path.
expect_kept() {  # expect_kept <what> <trash> <name> <content> <time> <Path value>
  local kept=$2/files/$3 info=$2/info/$3.trashinfo
  [ "$(cat "$kept" 2>/dev/null)" = "$4" ] || { fail "$1: $kept is not the old file"; return; }
  local t want
  t=$(stat -c %Y "$kept") want=$(date -d "$5" +%s)
  [ $((t - want)) -le 2 ] && [ $((want - t)) -le 2 ] || fail "$1: $kept has the time $t, not $want"
  grep -qx "Path=$6" "$info" 2>/dev/null || fail "$1: $info does not name $6: $(cat "$info" 2>&1)"
  grep -qE '^DeletionDate=[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}$' "$info" || fail "$1: no DeletionDate"
}

# A drive's folder A (List 1) and the home folder H: folders mode updates
# A/x from H, files mode then updates H/y from A; a new file keeps nothing.
check_drive() {  # check_drive <what> <drive> <its trash> <Path of A/x in it>
  local a=$2/Docs h=$work/home/Docs
  rm -rf "$h"
  mkdir -p "$a" "$h"
  put "$a/x.txt" "old x on $1" "2023-01-01 10:00:00"
  put "$h/x.txt" "new x" "2024-01-01 10:00:00"
  put "$h/new.txt" "only at home" "2024-01-01 10:00:00"
  run folders "$a" "$h"
  [ "$(cat "$a/x.txt")" = "new x" ] || fail "$1: x.txt was not updated"
  expect_kept "$1, folders mode" "$3" x.txt "old x on $1" "2023-01-01 10:00:00" "$4"
  [ "$(ls "$3/files")" = x.txt ] || fail "$1: more than the replaced file was kept: $(ls "$3/files")"
  # Files mode also copies the files of equal times (from List 2): no
  # version is replaced there, and none is kept.
  put "$a/y.txt" "new y" "2024-02-01 10:00:00"
  put "$h/y.txt" "old y at home" "2023-02-01 10:00:00"
  run files "$a" "$h"
  expect_kept "$1, files mode" "$XDG_DATA_HOME/Trash" y.txt "old y at home" "2023-02-01 10:00:00" \
    "$(sed 's/ /%20/g' <<<"$h/y.txt")"
  local kept=$'x.txt\ny.txt'
  if [ "$3" != "$XDG_DATA_HOME/Trash" ]; then
    [ "$(ls "$3/files")" = x.txt ] || fail "$1: files mode kept more: $(ls "$3/files")"
    kept=y.txt
  fi
  [ "$(ls "$XDG_DATA_HOME/Trash/files")" = "$kept" ] || fail "$1: files mode kept more at home: $(ls "$XDG_DATA_HOME/Trash/files")"
  rm -rf "$XDG_DATA_HOME/Trash"
}

mkdir -p "$work/home"
check_drive home "$work/home/drive" "$XDG_DATA_HOME/Trash" "$work/home/drive/Docs/x.txt"

for kind in ext4 ext4.shared fat exfat ntfs; do
  drive=$work/mnt-${kind%.*}-${kind#*.}
  if ! mount_drive "${kind%.*}" "$drive"; then
    fail "$kind: cannot make or mount the image"
    continue
  fi
  trash=$drive/.Trash-$uid
  if [ "$kind" = ext4.shared ]; then
    mkdir -m 1777 "$drive/.Trash"
    trash=$drive/.Trash/$uid
  fi
  check_drive "$kind" "$drive" "$trash" Docs/x.txt
  echo "$kind: checked"
done

# The desktop's own tools list and restore what was kept, on the home file
# system and on a second drive.
if command -v gio >/dev/null && [ -x /usr/libexec/gvfsd-trash ] && command -v dbus-run-session >/dev/null; then
  drive=$work/mnt-ext4-ext4
  h=$work/home/Docs
  rm -rf "$drive/.Trash-$uid" "$XDG_DATA_HOME/Trash"
  put "$drive/Docs/x.txt" "old x again" "2023-01-01 10:00:00"
  put "$h/x.txt" "newest x" "2024-03-01 10:00:00"
  put "$h/y.txt" "old y again" "2023-01-01 10:00:00"
  put "$drive/Docs/y.txt" "newest y" "2024-03-01 10:00:00"
  run folders "$drive/Docs" "$h"
  dbus-run-session -- bash -c '
    gio trash --list > "$0/listed" 2>&1
    rm "$1"
    uri=$(awk -F "\t" -v p="$1" "\$2 == p { print \$1 }" "$0/listed")
    [ -n "$uri" ] && gio trash --restore "$uri" >> "$0/listed" 2>&1' "$work" "$drive/Docs/x.txt" 2>/dev/null
  grep -qF "$drive/Docs/x.txt" "$work/listed" || fail "gio does not list the file kept on the drive: $(cat "$work/listed")"
  grep -qF "$h/y.txt" "$work/listed" || fail "gio does not list the file kept at home: $(cat "$work/listed")"
  [ "$(cat "$drive/Docs/x.txt" 2>/dev/null)" = "old x again" ] || fail "gio did not restore the old x.txt: $(cat "$work/listed")"
  echo "gio: listed and restored"
else
  echo "SKIP: gio with gvfs is not here: the desktop's own listing is not checked"
fi

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "every replaced file was kept"
