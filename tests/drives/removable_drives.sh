#!/usr/bin/env bash
# Runs on real removable-drive file systems: small FAT, exFAT and NTFS images
# mounted through FUSE (fusefat, exfat-fuse on a loop device, ntfs-3g), which
# keep no permission bits and times of their own resolution. For each drive,
# both modes run in both directions between a normal folder and the drive;
# content, times, the Report list and a second folders-mode run that finds
# nothing to do are checked. Needs root, /dev/fuse and a loop device, else it
# says why and is skipped (exit 77).
#
# usage: removable_drives.sh path/to/folderly_bench
set -uo pipefail

bench=${1:?usage: removable_drives.sh FOLDERLY_BENCH}
skip() { echo "SKIP: $*"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/folderly-drives.XXXXXX")
. "$(dirname "$0")/drive_images.sh"
why=$(drives_unavailable fat exfat ntfs)
[ -z "$why" ] || skip "$why"

. "$(dirname "$0")/../support/bench_runs.sh"

# Each file of the folder the same on both sides, its time within the
# drive's resolution (FAT keeps two seconds).
expect_same() {  # expect_same <what> <folder> <folder>
  local f name
  for f in "$2"/*; do
    name=${f##*/}
    cmp -s "$f" "$3/$name" || fail "$1: $name differs"
    local t1 t2
    t1=$(stat -c %Y "$f") t2=$(stat -c %Y "$3/$name" 2>/dev/null) || { fail "$1: $name missing"; continue; }
    [ $((t1 - t2)) -le 2 ] && [ $((t2 - t1)) -le 2 ] || fail "$1: $name times $t1 and $t2"
  done
  [ "$(ls -A "$2" | LC_ALL=C sort)" = "$(ls -A "$3" | LC_ALL=C sort)" ] || fail "$1: the folders hold other names"
}

for kind in fat exfat ntfs; do
  drive=$work/mnt-$kind
  if ! mount_drive "$kind" "$drive"; then
    fail "$kind: cannot make or mount the image"
    continue
  fi
  home=$work/home-$kind/Docs
  usb=$drive/Docs
  mkdir -p "$home" "$usb"

  # Folders mode, the drive in List 2: new files and updates both ways.
  put "$home/odd.txt" "odd second" "2023-05-01 10:00:01.5"
  head -c 300000 /dev/urandom >"$home/data.bin" && touch -d "2023-05-02 08:00:00" "$home/data.bin"
  truncate -s 2M "$home/sparse.bin" && printf 'end' >>"$home/sparse.bin" && touch -d "2023-05-03 09:00:00" "$home/sparse.bin"
  put "$home/newer.txt" "home, later" "2024-02-01 12:00:00"
  put "$usb/newer.txt" "drive, earlier" "2024-01-01 12:00:00"
  put "$home/older.txt" "home, earlier" "2024-01-01 12:00:00"
  put "$usb/older.txt" "drive, later" "2024-02-01 12:00:00"
  put "$usb/only-on-drive.txt" "from the drive" "2022-12-24 18:30:00"
  # User attributes travel where the drive keeps them; where not, no failure.
  python3 -c 'import os, sys; [os.setxattr(p, "user.tag", b"blue") for p in sys.argv[1:]]' \
    "$home/odd.txt" "$home/newer.txt" || fail "$kind: cannot set a user attribute"
  # A file of the user's named as the copy's temporary files begin is never
  # taken for a killed copy's leftover (hidden, it is not searched here).
  put "$usb/.folderly-partial-copy-1-mine" "mine" "2024-01-01 00:00:00"
  run folders "$home" "$usb"
  expect_lines "$kind, folders mode" "odd.txt copied successfully to $usb
data.bin copied successfully to $usb
sparse.bin copied successfully to $usb
$usb/newer.txt updated successfully
$home/older.txt updated successfully
only-on-drive.txt copied successfully to $home"
  [ "$(cat "$usb/.folderly-partial-copy-1-mine")" = mine ] || fail "$kind: the user's .folderly-partial file was taken"
  rm "$usb/.folderly-partial-copy-1-mine"
  expect_same "$kind, folders mode" "$home" "$usb"
  [ "$(cat "$usb/newer.txt")" = "home, later" ] || fail "$kind: the later file did not win"
  [ "$(cat "$home/older.txt")" = "drive, later" ] || fail "$kind: the later file on the drive did not win"
  run folders "$home" "$usb"
  [ "$total" = 0 ] && [ -z "$out" ] || fail "$kind: the second folders-mode run found $total to do: $out"

  # Files mode, the drive in List 1: the later copy wins either way, and
  # files mode copies every other pair from List 2, as it always does.
  put "$home/newer.txt" "home, edited" "2024-03-01 12:00:00"
  put "$usb/older.txt" "drive, edited" "2024-03-01 12:00:00"
  run files "$usb" "$home"
  want=""
  for f in "$home"/*; do
    name=${f##*/}
    case $name in
      older.txt) want+="$home/$name updated successfully"$'\n' ;;
      *) want+="$usb/$name updated successfully"$'\n' ;;
    esac
  done
  expect_lines "$kind, files mode" "${want%$'\n'}"
  expect_same "$kind, files mode" "$home" "$usb"
  [ "$(cat "$usb/newer.txt")" = "home, edited" ] || fail "$kind: files mode lost the later file"
  [ "$(cat "$home/older.txt")" = "drive, edited" ] || fail "$kind: files mode lost the later file on the drive"

  # Folders mode, the drive in List 1, after all that: nothing to do.
  run folders "$usb" "$home"
  [ "$total" = 0 ] && [ -z "$out" ] || fail "$kind: folders mode from the drive found $total to do: $out"
  # Two names equal but for case would be one file on a drive that does not
  # tell case apart, and some names it cannot hold: all left alone, and said.
  # (exfat-fuse and ntfs-3g are FUSE drives the program cannot tell apart.)
  if [ "$kind" = fat ]; then
    twins=$work/home-$kind/Twins usbtwins=$drive/Twins
    mkdir -p "$twins" "$usbtwins"
    put "$twins/a.txt" "small a" "2024-01-01 10:00:00"
    put "$twins/A.txt" "big A" "2024-01-01 11:00:00"
    for name in "Meeting 10:30.txt" "trail." "CON" "ok.txt"; do put "$twins/$name" "$name" "2024-01-01 09:00:00"; done
    one="would be one file in $usbtwins, which does not tell case apart: both are left alone"
    held='the drive there takes only names Windows takes (no backslash, : * ? " < > | or control character, no dot or blank at the end, no device name such as CON)'
    run folders "$twins" "$usbtwins"
    expect_lines "$kind, case twins and names, folders mode" "$twins/a.txt and a name beside it that differs only in case $one
$twins/A.txt and a name beside it that differs only in case $one
Meeting 10:30.txt could not be copied to $usbtwins: $held
trail. could not be copied to $usbtwins: $held
CON could not be copied to $usbtwins: $held
ok.txt copied successfully to $usbtwins"
    [ "$(ls -A "$usbtwins")" = ok.txt ] || fail "$kind: the drive got $(ls -A "$usbtwins")"
    # Files mode, the drive holding one of the twins: neither replaces it, nor it them.
    put "$usbtwins/a.txt" "drive a" "2024-01-01 12:00:00"
    run files "$twins" "$usbtwins"
    expect_lines "$kind, case twins, files mode" "$twins/a.txt and a name beside it that differs only in case $one
$twins/A.txt and a name beside it that differs only in case $one
$twins/ok.txt updated successfully"
    [ "$(cat "$twins/a.txt"),$(cat "$twins/A.txt"),$(cat "$usbtwins/a.txt")" = "small a,big A,drive a" ] ||
      fail "$kind: a case twin was replaced"
  fi
  echo "$kind: checked"
done

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "all drives passed"
