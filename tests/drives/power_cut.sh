#!/usr/bin/env bash
# A power cut right after a run, on ext4, XFS and btrfs images mounted
# through a loop device. "xfs_io -x -c 'shutdown -f'" stands in for the cut:
# the journal reaches the disk, file data the kernel has not yet written
# back does not. After the image is mounted again, every file the run
# copied must be either as it was before the run (content and time) or as
# the run made it (content and time); nothing else may be left but a
# temporary file, which the next run removes. Further runs must then bring
# both folders to the later content, never copying a damaged file back over
# its source. Needs root, a loop device and the file systems' tools, else
# it says why and is skipped (exit 77); a file system the kernel cannot shut
# down is skipped alone.
#
# usage: power_cut.sh path/to/folderly_bench
set -uo pipefail

bench=${1:?usage: power_cut.sh FOLDERLY_BENCH}
skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "mounting file-system images needs root"
for tool in losetup mkfs.ext4 mkfs.xfs mkfs.btrfs xfs_io; do
  command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps.sh installs it)"
done
losetup -f >/dev/null 2>&1 || skip "no free loop device"

work=$(mktemp -d "${TMPDIR:-/tmp}/folderly-power-cut.XXXXXX")
mounted=""
cleanup() {
  [ -n "$mounted" ] && umount "$mounted" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
checked=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

count=300
old_time=1672531200  # 2023-01-01
new_time=1706745600  # 2024-02-01
newer_time=1709251200  # 2024-03-01
edit_time=1709337600  # 2024-03-02
later_time=1709424000  # 2024-03-03

# Fills folder with count files prefix-i, file i of a kind holding
# "<kind> <i>" and then enough of the kind's first letter to need blocks of
# its own; all with the given time.
put_all() {  # put_all <folder> <prefix> <kind> <time>
  python3 - "$count" "$@" <<'PY'
import os, sys
count, folder, prefix, kind, when = sys.argv[1:]
for i in range(int(count)):
    path = "%s/%s-%d" % (folder, prefix, i)
    with open(path, "wb") as f:
        f.write(("%s %d\n" % (kind, i)).encode() + kind[0].encode() * (4096 + i * 37))
    os.utime(path, (int(when), int(when)))
PY
}

# Each file of prefix in folder must be the new version (kind and time),
# or the old one: absent when old is "-", none at all when old is "".
expect_version() {  # expect_version <what> <folder> <prefix> <old kind> <old time> <new kind> <new time>
  local said
  said=$(python3 - "$count" "$@" <<'PY'
import os, sys
count, what, folder, prefix, old, old_time, new, new_time = sys.argv[1:]
def content(kind, i):
    return ("%s %d\n" % (kind, i)).encode() + kind[0].encode() * (4096 + i * 37)
bad = []
for i in range(int(count)):
    path = "%s/%s-%d" % (folder, prefix, i)
    try:
        with open(path, "rb") as f:
            data = f.read()
        t = str(int(os.stat(path).st_mtime))
    except FileNotFoundError:
        if old != "-":
            bad.append(path + ": missing")
        continue
    if t == new_time and data == content(new, i):
        continue
    if old not in ("", "-") and t == old_time and data == content(old, i):
        continue
    bad.append("%s: %d bytes, time %s" % (path, len(data), t))
for line in bad[:3]:
    print("  " + line)
if bad:
    print("FAIL: %s: %d of %s files are neither the old nor the new version" % (what, len(bad), count))
PY
)
  [ -z "$said" ] && return
  echo "$said"
  failures=$((failures + 1))
}

run() {  # run <mode> <list 1 folder> <list 2 folder>
  "$bench" "$1" --list1 "$2" --list2 "$3" >"$work/run.log" 2>&1 || fail "$fs: the $1-mode run failed: $(cat "$work/run.log")"
}

cut_power() {  # the journal reaches the disk, the rest is lost
  xfs_io -x -c "shutdown -f" "$mnt" 2>"$work/shutdown.log"
}

remount() {
  umount "$mnt" && mounted="" || { fail "$fs: cannot unmount after the cut"; return 1; }
  mount -o loop "$img" "$mnt" && mounted=$mnt || { fail "$fs: cannot mount after the cut"; return 1; }
}

no_strangers() {  # only the named files and temporary files in the folder
  local names
  names=$(ls -A "$1" | grep -v -E "^($2)-[0-9]+$" | grep -v '^\.folderly-partial-')
  [ -z "$names" ] || fail "$fs: unexpected names in $1: $names"
}

for fs in ext4 xfs btrfs; do
  img=$work/$fs.img
  mnt=$work/mnt-$fs
  mkdir -p "$mnt"
  truncate -s 320M "$img"
  if ! mkfs."$fs" -q "$img" >/dev/null 2>&1 && ! mkfs."$fs" "$img" >/dev/null 2>&1; then
    fail "$fs: cannot make the image"
    continue
  fi
  mount -o loop "$img" "$mnt" || { fail "$fs: cannot mount the image"; continue; }
  mounted=$mnt
  touch "$mnt/probe"
  if ! xfs_io -x -c "shutdown -f" "$mnt" 2>/dev/null; then
    echo "SKIP: $fs: this kernel cannot shut the file system down"
    umount "$mnt"; mounted=""; rm -f "$img"
    continue
  fi
  remount || continue
  a=$mnt/a/Docs b=$mnt/b/Docs
  mkdir -p "$a" "$b"
  put_all "$a" new n "$new_time"
  put_all "$a" upd u "$new_time"
  put_all "$b" upd o "$old_time"
  sync

  # Folders mode: new files and updates into b, then the cut.
  run folders "$a" "$b"
  cut_power
  remount || continue
  expect_version "$fs, new files after the cut" "$b" new - 0 n "$new_time"
  expect_version "$fs, updates after the cut" "$b" upd o "$old_time" u "$new_time"
  expect_version "$fs, the sources after the cut" "$a" upd "" 0 u "$new_time"
  no_strangers "$b" "new|upd"

  # Files mode, both ways: a's updates are later, and b's copies of the
  # new files; the cut comes right after.
  put_all "$a" upd w "$newer_time"
  put_all "$b" new m "$newer_time"
  sync
  run files "$a" "$b"
  cut_power
  remount || continue
  expect_version "$fs, files-mode updates after the cut" "$b" upd u "$new_time" w "$newer_time"
  expect_version "$fs, files-mode copies back after the cut" "$a" new n "$new_time" m "$newer_time"
  expect_version "$fs, the sources of files mode after the cut" "$a" upd "" 0 w "$newer_time"
  expect_version "$fs, the sources of files mode after the cut" "$b" new "" 0 m "$newer_time"

  # Two more runs without a cut: both folders in step, with the later content.
  run folders "$a" "$b"
  run files "$a" "$b"
  for side in "$a" "$b"; do
    expect_version "$fs, in step" "$side" upd "" 0 w "$newer_time"
    expect_version "$fs, in step" "$side" new "" 0 m "$newer_time"
  done
  [ -z "$(ls -A "$b" "$a" | grep '^\.folderly-partial-')" ] || fail "$fs: a temporary file stayed after the next runs"

  # Both copies edited since a run left them in step, a run that keeps a's
  # edits beside their files with its memory on the same drive, then the
  # cut: whatever of the run and of its memory reached the disk, no edit
  # is lost, after two more runs too.
  memory=$mnt/state/memory.db
  remembering() { "$bench" folders --memory "$memory" --list1 "$a" --list2 "$b" >"$work/run.log" 2>&1; }
  remembering || fail "$fs: the run that remembers failed: $(cat "$work/run.log")"
  sync
  put_all "$a" upd e "$edit_time"
  put_all "$b" upd f "$later_time"
  sync
  remembering
  cut_power
  remount || continue
  remembering
  remembering
  lost=$(python3 - "$count" "$a" "$b" <<'PY'
import os, sys
count, a, b = int(sys.argv[1]), sys.argv[2], sys.argv[3]
def content(kind, i):
    return ("%s %d\n" % (kind, i)).encode() + kind[0].encode() * (4096 + i * 37)
held = set()
for folder in (a, b):
    for name in os.listdir(folder):
        if name.startswith("upd-"):
            with open(os.path.join(folder, name), "rb") as f:
                held.add(f.read())
lost = [i for i in range(count) if content("e", i) not in held or content("f", i) not in held]
print("%d edits lost, such as upd-%d" % (len(lost), lost[0]) if lost else "")
PY
)
  [ -z "$lost" ] || fail "$fs: $lost"
  umount "$mnt" && mounted=""
  rm -f "$img"
  checked=$((checked + 1))
  echo "$fs: checked"
done

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
[ "$checked" -gt 0 ] || skip "no file system here can be shut down"
echo "every file survived the cuts"
