#!/usr/bin/env bash
# A neighbour who may write a folder that the user keeps in step (a group's
# shared project folder) tries to get into the user's account through the
# user's runs: programs that would run with the user's rights, links that
# would lead a copy into the user's own files or carry the user's private
# files out, a listed folder turned into such a link, a Trash whose folders
# are swapped while a run keeps files in it, and files named as the
# program's temporary files. Each case makes the folders afresh, runs the
# real program ("folderly --run") as the user (or as root), and checks that
# nothing of the user's (or the neighbour's) was written, read out, given
# away or taken, and that the run said so. Two users and their group are made
# by the test; without root it is skipped (exit 77).
#
# usage: hostile_neighbour.sh path/to/folderly
set -u
program=${1:?usage: hostile_neighbour.sh FOLDERLY}
skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "making the test's two users needs root"
for tool in useradd groupadd setpriv /usr/bin/python3; do
  command -v "$tool" >/dev/null || skip "$tool is missing"
done

work=$(mktemp -d /tmp/folderly-neighbour-XXXXXX)
user=folderly-u$$ neighbour=folderly-n$$ team=folderly-t$$
cleanup() {
  [ -n "${looper:-}" ] && kill "$looper" 2>/dev/null
  umount "$work/drive" 2>/dev/null
  userdel "$user" 2>/dev/null; userdel "$neighbour" 2>/dev/null; groupdel "$team" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
groupadd "$team" || skip "groupadd failed"
for name in "$user" "$neighbour"; do
  useradd --system --no-create-home --home-dir "$work/home" --shell /usr/sbin/nologin -G "$team" "$name" ||
    skip "useradd failed"
done
chmod 755 "$work"
install -m 755 "$program" "$work/folderly"

failures=0
fail() { echo "FAIL: $case: $*"; failures=$((failures + 1)); }
as() {  # as <user> <command>...: with the user's own groups
  setpriv --reuid="$1" --regid="$1" --init-groups -- "${@:2}"
}

# The user's home (private), lists and options; two shared project folders
# that the group may write, under a shared folder the group may write too.
home=$work/home shared=$work/shared
fresh() {  # fresh <Synchro mode> <KeepReplaced>
  rm -rf "$home" "$shared" "$work/run"
  mkdir -p "$home/.local/share/Folderly" "$home/.config/Vantrel" "$home/Documents" "$work/run" \
    "$shared/A/proj" "$shared/B/proj"
  printf 'my shell settings\n' > "$home/.bashrc"
  printf 'my tax return\n' > "$home/Documents/tax.pdf"
  printf '%s\r\n' "$shared/A/proj" > "$home/.local/share/Folderly/List1.txt"
  printf '%s\r\n' "$shared/B/proj" > "$home/.local/share/Folderly/List2.txt"
  printf '[General]\nSynchroMode=int:%s\nKeepReplaced=int:%s\n' "$1" "$2" > "$home/.config/Vantrel/Folderly.conf"
  chown -R "$user:$user" "$home" "$work/run"
  chmod 700 "$home" "$work/run"
  chown root:"$team" "$shared" "$shared/A" "$shared/B" "$shared/A/proj" "$shared/B/proj"
  chmod 2775 "$shared" "$shared/A" "$shared/B" "$shared/A/proj" "$shared/B/proj"
}
# put <path> <content> <date> <owner> [mode]: a file as its owner left it.
put() {
  printf '%s\n' "$2" > "$1"
  chown "$4" "$1"
  chmod "${5:-664}" "$1"
  touch -d "$3" "$1"
}
# plant <link> <target>: a link the neighbour made.
plant() { ln -s "$2" "$1" && chown -h "$neighbour" "$1"; }
# run_as <who> [option...]: one "folderly --run" of the user's lists (root
# runs with the user's home all the same); its status and lines are kept.
run_as() {
  local who=$1 runtime=$work/run
  [ "$who" = root ] && who=0 runtime=$work/run-root && mkdir -p -m 700 "$runtime"
  as "$who" env -i PATH=/usr/bin:/bin HOME="$home" XDG_DATA_HOME="$home/.local/share" \
    XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$runtime" "$work/folderly" --run "${@:2}" > "$work/lines" 2>&1
  status=$?
}
said() { grep -qxF -- "$1" "$work/lines" || fail "no line '$1' in: $(cat "$work/lines")"; }
holds() { [ "$(cat "$1" 2>/dev/null)" = "$2" ] || fail "$1 holds '$(cat "$1" 2>&1)', not '$2'"; }
absent() { [ ! -e "$1" ] || fail "$1 was made: $(cat "$1" 2>&1)"; }
mode_is() { [ "$(stat -c %a "$1")" = "$2" ] || fail "$1 has mode $(stat -c %a "$1") ($(stat -c %U:%G "$1")), not $2"; }
linked=" is a link of another user and is not followed"
old='2024-01-01 10:00' new='2025-01-01 10:00'

# 1. Set-id bits travel only with their owner.
case="a neighbour's newer set-user-ID program"
fresh 1 0
put "$shared/A/proj/tool" "new tool" "$new" "$neighbour" 4775
put "$shared/B/proj/tool" "old tool" "$old" "$neighbour" 4775
put "$shared/A/proj/grouptool" "new" "$new" "$neighbour:$neighbour" 2775
put "$shared/B/proj/grouptool" "old" "$old" "$neighbour:$team" 2775
put "$shared/A/proj/newtool" "a new program" "$new" "$neighbour" 4755
put "$shared/A/proj/mine" "my new program" "$new" "$user" 4755
put "$shared/B/proj/mine" "my old program" "$old" "$user" 4755
run_as "$user"
holds "$shared/B/proj/tool" "new tool"
mode_is "$shared/B/proj/tool" 775
mode_is "$shared/B/proj/grouptool" 775
mode_is "$shared/B/proj/newtool" 755
mode_is "$shared/B/proj/mine" 4755
said "$shared/B/proj/tool updated successfully"

# 2. The neighbour's links are neither written nor read through.
case="a neighbour's links, in folders mode"
fresh 1 0
put "$shared/A/proj/notes.txt" "the neighbour's text" "$new" "$neighbour"
plant "$shared/B/proj/notes.txt" "$home/.bashrc"
plant "$shared/B/proj/leak.pdf" "$home/Documents/tax.pdf"
run_as "$user"
holds "$home/.bashrc" "my shell settings"
absent "$shared/A/proj/leak.pdf"
said "$shared/B/proj/notes.txt$linked"
said "$shared/B/proj/leak.pdf$linked"
[ "$status" = 1 ] || fail "the run exits with $status, not 1"

case="a neighbour's links, in files mode"
fresh 0 0
put "$shared/A/proj/notes.txt" "the neighbour's text" "$new" "$neighbour"
put "$shared/A/proj/tax.pdf" "an old copy" "$old" "$neighbour"
plant "$shared/B/proj/notes.txt" "$home/.bashrc"
plant "$shared/B/proj/tax.pdf" "$home/Documents/tax.pdf"
run_as "$user"
holds "$home/.bashrc" "my shell settings"
holds "$shared/A/proj/tax.pdf" "an old copy"
said "$shared/B/proj/notes.txt$linked"
said "$shared/B/proj/tax.pdf$linked"

case="a listed folder the neighbour made a link"
fresh 1 0
rmdir "$shared/B/proj"
plant "$shared/B/proj" "$home/Documents"
run_as "$user"
absent "$shared/A/proj/tax.pdf"
said "\"$shared/B/proj\" is reached through a link of another user and takes no part in the run"

case="a run as root over the neighbour's folders"
fresh 1 0
printf 'root only\n' > "$work/secret" && chmod 600 "$work/secret"
put "$shared/A/proj/x" "the neighbour's text" "$new" "$neighbour"
plant "$shared/B/proj/x" "$work/secret"
plant "$shared/A/proj/y" "$work/secret"
put "$shared/B/proj/y" "the neighbour's old y" "$old" "$neighbour"
run_as root
holds "$work/secret" "root only"
holds "$shared/A/proj/x" "the neighbour's text"
holds "$shared/B/proj/y" "the neighbour's old y"
said "$shared/B/proj/x$linked"
said "$shared/A/proj/y$linked"

# 3. A decoy in place of the user's private file: the neighbour deletes it
# from the group-writable folder and puts an older file of her own, open
# to the group, in its place (or a second name of such a file). The run
# updates it, and the secret must not land in a file the neighbour reads.
for who in "$user" root; do
  for how in decoy "hard link"; do
    case="a neighbour's $how in place of a private file, run as $who"
    fresh 1 0
    put "$shared/A/proj/credentials.env" "my secret" "$new" "$user" 600
    if [ "$how" = decoy ]; then
      put "$shared/B/proj/credentials.env" "decoy" "2000-01-01" "$neighbour" 664
    else
      put "$shared/bait" "decoy" "2000-01-01" "$neighbour" 664
      as "$neighbour" ln "$shared/bait" "$shared/B/proj/credentials.env" || { echo "SKIP: $case: no hard link"; continue; }
    fi
    run_as "$who"
    said "$shared/B/proj/credentials.env updated successfully"
    holds "$shared/B/proj/credentials.env" "my secret"
    if as "$neighbour" cat "$shared/B/proj/credentials.env" 2>/dev/null; then
      fail "the neighbour reads it: $(stat -c '%a %U:%G' "$shared/B/proj/credentials.env")"
    fi
    [ "$how" = decoy ] || holds "$shared/bait" "decoy"
  done
done

# 4. A report file in the shared folder that the neighbour made a link to a
# file of root's: a run as root must not append to it.
case="a report file that is the neighbour's link, run as root"
fresh 1 0
printf 'root only\n' > "$work/secret" && chmod 600 "$work/secret"
put "$shared/A/proj/x" "new" "$new" "$user"
plant "$shared/sync.log" "$work/secret"
run_as root --report "$shared/sync.log"
holds "$work/secret" "root only"
[ "$status" = 2 ] || fail "the run exits with $status, not 2"
said "Folderly: could not open $shared/sync.log: it, or a folder on the way to it, is a link of another user and is not followed"
absent "$shared/B/proj/x"

# 5. A Trash on a shared drive whose sticky .Trash is the neighbour's: all
# the while a run keeps replaced files there, the neighbour swaps the
# user's .Trash/<uid> with a link to a folder of her own.
case="the neighbour's .Trash, swapped during a run"
if mkdir -p "$work/drive" && mount -t tmpfs -o mode=1777 tmpfs "$work/drive"; then
  fresh 1 1
  uid=$(id -u "$user")
  drive=$work/drive/proj
  mkdir -m 2775 "$drive" "$work/drive/loot" && chown root:"$team" "$drive" && chown "$neighbour" "$work/drive/loot"
  chmod 777 "$work/drive/loot"
  mkdir -m 1777 "$work/drive/.Trash" && chown "$neighbour" "$work/drive/.Trash"
  plant "$work/drive/.Trash/decoy" "$work/drive/loot"
  printf '%s\r\n' "$drive" > "$home/.local/share/Folderly/List2.txt"
  # A first run makes the user's .Trash/<uid>; then the swapping begins.
  put "$shared/A/proj/first" "new" "$new" "$user"
  put "$drive/first" "old" "$old" "$user"
  run_as "$user"
  [ -d "$work/drive/.Trash/$uid" ] || fail "the first run made no .Trash/$uid: $(cat "$work/lines")"
  for i in $(seq 300); do
    printf 'new %s\n' "$i" > "$shared/A/proj/n$i"
    printf 'old %s\n' "$i" > "$drive/n$i"
  done
  chown "$user" "$shared/A/proj"/n* "$drive"/n*
  touch -d "$new" "$shared/A/proj"/n*
  touch -d "$old" "$drive"/n*
  # Started without a shell between, so that its process number is its own.
  setpriv --reuid="$neighbour" --regid="$neighbour" --init-groups -- /usr/bin/python3 -c '
import ctypes, sys
libc = ctypes.CDLL(None, use_errno=True)
a, b = sys.argv[1].encode(), sys.argv[2].encode()
while True:
    libc.renameat2(-100, a, -100, b, 2)  # RENAME_EXCHANGE
' "$work/drive/.Trash/$uid" "$work/drive/.Trash/decoy" &
  looper=$!
  sleep 0.2
  run_as "$user"
  kill "$looper"; wait "$looper" 2>/dev/null; looper=
  stolen=$(find "$work/drive/loot" -type f | wc -l)
  [ "$stolen" = 0 ] || fail "$stolen kept files went into the neighbour's folder"
  kept=$(find "$work/drive" -path "$work/drive/loot" -prune -o -path '*/files/n*' -type f -print | wc -l)
  updated=$(grep -c ' updated successfully$' "$work/lines")
  [ "$kept" = "$updated" ] || fail "$updated files updated, $kept kept in the user's Trash"
  [ "$updated" -gt 0 ] || fail "nothing was updated: $(head -3 "$work/lines")"
  umount "$work/drive"
else
  echo "SKIP: $case: no tmpfs could be mounted"
fi

# 6. Files of the neighbour's named as the program's temporary files begin,
# one of them of the very shape the program gives its own: a copy into
# their folder neither removes them nor puts any back under another name.
case="the neighbour's files named as the program's temporary files"
fresh 1 0
put "$shared/A/proj/plan.txt" "the plan" "$new" "$neighbour"
put "$shared/B/proj/notes.txt" "the notes" "$old" "$neighbour"
for name in .folderly-partial-copy-0123456789abcdef-fedcba9876543210 .folderly-partial-old-notes.txt \
  .folderly-partial-old-0123456789abcdef-draft.txt; do
  put "$shared/B/proj/$name" "the neighbour's $name" "$old" "$neighbour"
done
run_as "$user"
said "plan.txt copied successfully to $shared/B/proj"
for name in .folderly-partial-copy-0123456789abcdef-fedcba9876543210 .folderly-partial-old-notes.txt \
  .folderly-partial-old-0123456789abcdef-draft.txt; do
  holds "$shared/B/proj/$name" "the neighbour's $name"
done
holds "$shared/B/proj/notes.txt" "the notes"
absent "$shared/B/proj/draft.txt"
absent "$shared/B/proj/0123456789abcdef-draft.txt"

[ "$failures" = 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "the neighbour got nothing"
