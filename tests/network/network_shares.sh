#!/usr/bin/env bash
# Runs against network folders as a desktop user has them: a Samba share on
# the loopback mounted through gvfs's FUSE folder, and a folder over SSH
# mounted with sshfs, both mounted by a user of the test's own, who also
# makes the runs. Both keep whole seconds only. On each, folders mode copies
# and updates both ways and a second run finds nothing to do. The Samba
# share also does not tell case apart and takes only the names Windows
# takes: two local names equal but for case, and names it cannot hold, must
# be left alone and said; a file the server keeps read-only is left alone;
# a replaced file is kept in the home Trash. Needs root, /dev/fuse, Samba,
# sshd, sshfs and gvfs, else it says why and is skipped (exit 77).
#
# usage: network_shares.sh path/to/folderly_bench
set -uo pipefail

program=${1:?usage: network_shares.sh FOLDERLY_BENCH}
skip() { echo "SKIP: $*"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/folderly-network.XXXXXX")
. "$(dirname "$0")/share_mounts.sh"
why=$(share_unavailable)
[ -z "$why" ] || skip "$why"
start_shares || { echo "FAIL: the shares could not be served or mounted"; exit 1; }
# A copy the user may run wherever the build is, and that a rebuild leaves alone.
bench=$work/folderly_bench
install -m 755 "$program" "$bench"

run_as=as_user
. "$(dirname "$0")/../support/bench_runs.sh"

put() {  # put <path> <content> <time>: as the user, through the mount where it is on one
  as_user sh -c 'printf %s "$2" >"$1" && touch -d "$3" "$1"' put "$@" || fail "cannot make $1"
}

folder() {  # folder <path>...: made by the user
  as_user mkdir -p "$@" || fail "cannot make $*"
}

# Each file of the local folder the same in the server's own folder, its
# time within the two seconds the test allows; nothing else there.
expect_same() {  # expect_same <what> <local folder> <server's folder>
  local f name t1 t2
  for f in "$2"/*; do
    name=${f##*/}
    t2=$(stat -c %Y "$3/$name" 2>/dev/null) || { fail "$1: $name missing"; continue; }
    cmp -s "$f" "$3/$name" || fail "$1: $name differs"
    t1=$(stat -c %Y "$f")
    [ $((t1 - t2)) -le 2 ] && [ $((t2 - t1)) -le 2 ] || fail "$1: $name times $t1 and $t2"
  done
  [ "$(ls -A "$2")" = "$(ls -A "$3")" ] || fail "$1: the share holds $(ls -A "$3" | tr '\n' ' ')"
}

local_top=$user_home/Local
for kind in smb ssh; do
  [ "$kind" = smb ] && mount=$smb_mount real=$smb_real || mount=$ssh_mount real=$ssh_real
  here=$local_top/$kind/Docs there=$mount/Docs
  folder "$here" "$there"
  put "$here/odd.txt" "odd second" "2023-05-01 10:00:01.5"
  as_user sh -c 'head -c 300000 /dev/urandom >"$1" && touch -d "2023-05-02 08:00:00" "$1"' data "$here/data.bin"
  put "$here/newer.txt" "here, later" "2024-02-01 12:00:00"
  put "$there/newer.txt" "there, earlier" "2024-01-01 12:00:00"
  put "$here/older.txt" "here, earlier" "2024-01-01 12:00:00"
  put "$there/older.txt" "there, later" "2024-02-01 12:00:00"
  put "$there/only-there.txt" "from the share" "2022-12-24 18:30:00"
  run folders "$here" "$there"
  expect_lines "$kind, folders mode" "odd.txt copied successfully to $there
data.bin copied successfully to $there
$there/newer.txt updated successfully
$here/older.txt updated successfully
only-there.txt copied successfully to $here"
  expect_same "$kind, folders mode" "$here" "$real/Docs"
  [ "$(cat "$real/Docs/newer.txt"),$(cat "$here/older.txt")" = "here, later,there, later" ] ||
    fail "$kind: the later file did not win"
  run folders "$here" "$there"
  [ "$total" = 0 ] && [ -z "$out" ] || fail "$kind: the second folders-mode run found $total to do: $out"
  echo "$kind: copies both ways checked"
done

# The rest is what the Samba share alone is: blind to case, Windows' names.
one="would be one file in $smb_mount/Twins, which does not tell case apart: both are left alone"
here=$local_top/Twins there=$smb_mount/Twins
folder "$here" "$there"
put "$here/a.txt" "small a" "2024-01-01 10:00:00"
put "$here/A.txt" "big A" "2024-01-01 11:00:00"
twins="$here/a.txt and a name beside it that differs only in case $one
$here/A.txt and a name beside it that differs only in case $one"
run folders "$here" "$there"
expect_lines "case twins, folders mode" "$twins"
[ -z "$(ls -A "$smb_real/Twins")" ] || fail "case twins: the share got $(ls -A "$smb_real/Twins")"
# Files mode, the share holding one of the twins: neither replaces it, nor it them.
put "$there/a.txt" "share a" "2024-01-01 12:00:00"
run files "$here" "$there"
expect_lines "case twins, files mode" "$twins"
[ "$(cat "$here/a.txt"),$(cat "$here/A.txt"),$(cat "$smb_real/Twins/a.txt")" = "small a,big A,share a" ] ||
  fail "case twins: one was replaced"

here=$local_top/Names there=$smb_mount/Names
folder "$here" "$there"
held='the drive there takes only names Windows takes (no backslash, : * ? " < > | or control character, no dot or blank at the end, no device name such as CON)'
for name in "Meeting 10:30.txt" "trail." "CON" "ok.txt"; do put "$here/$name" "$name" "2024-01-01 09:00:00"; done
run folders "$here" "$there"
expect_lines "names, folders mode" "Meeting 10:30.txt could not be copied to $there: $held
trail. could not be copied to $there: $held
CON could not be copied to $there: $held
ok.txt copied successfully to $there"
[ "$(ls -A "$smb_real/Names")" = ok.txt ] || fail "names: the share got $(ls -A "$smb_real/Names" | tr '\n' ' ')"
run folders "$here" "$there"
! grep -F "copied successfully to $here" <<<"$out" || fail "names: the second run copied back from the share"
[ "$(ls -A "$here" | LC_ALL=C sort | tr '\n' /)" = "CON/Meeting 10:30.txt/ok.txt/trail./" ] ||
  fail "names: the local folder now holds $(ls -A "$here" | tr '\n' /)"
# Files the server holds under names Windows cannot take are shown under
# short names the server makes up: never copied back as files of their own.
here=$local_top/MadeUp there=$smb_mount/MadeUp
folder "$here" "$there"
for name in "trail." "CON"; do
  printf 'kept on the server' >"$smb_real/MadeUp/$name" && chown "$share_user:" "$smb_real/MadeUp/$name"
done
run folders "$here" "$there"
madeup="could not be copied to $here: the share shows a file under this name of its own making, as its real name is one Windows cannot take"
[ "$(grep -c -E "^[A-Z0-9_]{6}~[A-Z0-9_] $madeup\$" <<<"$out")" = 2 ] && [ "$(wc -l <<<"$out")" = 2 ] ||
  fail "made-up names: the Report list said $out"
[ -z "$(ls -A "$here")" ] || fail "made-up names: copied back as $(ls -A "$here" | tr '\n' ' ')"
echo "smb: case and names checked"

# A file the server keeps read-only (its mode there, which the gvfs folder
# does not show: every file looks 0700) and a later one here: left alone.
here=$local_top/ReadOnly there=$smb_mount/ReadOnly
folder "$here" "$there"
put "$here/ro.txt" "here, later" "2024-02-01 12:00:00"
put "$there/ro.txt" "share, earlier" "2024-01-01 12:00:00"
chmod 444 "$smb_real/ReadOnly/ro.txt"
run folders "$here" "$there"
expect_lines "read-only file" "$there/ro.txt could not be updated because it is Read-Only File"
[ "$(cat "$smb_real/ReadOnly/ro.txt")" = "share, earlier" ] || fail "read-only file: it was replaced"

# Keeping replaced files: nobody may make a Trash at the top of gvfs's
# folder, so the replaced file is copied into the user's home Trash.
here=$local_top/Kept there=$smb_mount/Kept
folder "$here" "$there"
put "$here/k.txt" "here, later" "2024-02-01 12:00:00"
put "$there/k.txt" "share, earlier" "2024-01-01 12:00:00"
all=$(as_user "$bench" folders --keep-replaced --report --list1 "$here" --list2 "$there" 2>&1)
grep -qxF "$there/k.txt updated successfully (its old version was copied to the home Trash)" <<<"$all" ||
  fail "kept file: the run said $all"
[ "$(cat "$smb_real/Kept/k.txt"),$(cat "$user_home/.local/share/Trash/files/k.txt" 2>&1)" = "here, later,share, earlier" ] ||
  fail "kept file: the share or the home Trash holds the wrong content"
echo "smb: read-only and kept files checked"

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "all network shares passed"
