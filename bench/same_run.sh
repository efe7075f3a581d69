#!/usr/bin/env bash
# Checks that two builds of folderly_bench do the same runs: each build runs
# on its own copy of one varied set of folders (files on one side or both,
# later, earlier and equal times, names that differ only in letter case,
# hidden files, subfolders, links to files, folders and nowhere, a FIFO, a
# read-only destination, a time past 2044, a missing folder, a folder ending
# in '/', a folder in both lists), in both modes, with "Archive Files only"
# and "All Files", with and without an extension filter; then the counts,
# the Report list lines and the resulting folders (names, kinds, sizes,
# modes, last-write times of files, content, link targets) must be equal.
# For performance work: a faster build must not run differently.
#
# With --plain, the set leaves out what a deliberate change of behaviour may
# touch (times before 1980 or past 2044, a FIFO, a dangling link, folder texts
# ending in '/', a folder in both lists): two builds that differ only there
# must still run alike on the rest.
#
# usage: bash bench/same_run.sh [--plain] path/to/old/folderly_bench path/to/new/folderly_bench
set -uo pipefail

plain=0
if [ "${1:-}" = "--plain" ]; then plain=1; shift; fi
if [ $# -ne 2 ] || [ ! -x "$1" ] || [ ! -x "$2" ]; then
  echo "usage: bash bench/same_run.sh [--plain] OLD_FOLDERLY_BENCH NEW_FOLDERLY_BENCH" >&2
  exit 2
fi
builds=("$(readlink -f "$1")" "$(readlink -f "$2")")
work=$(mktemp -d "${TMPDIR:-/tmp}/folderly-same.XXXXXX")
trap 'rm -rf "$work"' EXIT

put() {  # put <path> <content> <epoch seconds>
  printf '%s' "$2" >"$1"
  touch -d "@$3" "$1"
}

fixture() {  # fixture <root>
  local f=$1
  mkdir -p "$f"/{X,Y,P,R,T,U}/Docs "$f/Q/docs"
  put "$f/X/Docs/onlyA.txt" a 1600000000
  put "$f/X/Docs/both.txt" A-later 1600000100
  put "$f/P/Docs/both.txt" P-older 1600000000
  put "$f/X/Docs/older.txt" A-old 1600000000
  put "$f/P/Docs/older.txt" P-new 1600000200
  put "$f/X/Docs/same.txt" s 1600000000
  put "$f/P/Docs/same.txt" s 1600000001
  put "$f/X/Docs/Report.TXT" R1 1600000300
  put "$f/P/Docs/report.txt" r2 1600000000
  put "$f/P/Docs/onlyP.doc" p 1600000000
  put "$f/X/Docs/.hidden" h 1600000000
  put "$f/P/Docs/.hidP" hp 1600000500
  put "$f/X/Docs/ro.txt" ro-new 1600000900
  put "$f/P/Docs/ro.txt" ro-old 1600000000
  chmod a-w "$f/P/Docs/ro.txt"
  mkdir "$f/X/Docs/sub" "$f/P/Docs/psub"
  ln -s both.txt "$f/X/Docs/link.txt"
  ln -s sub "$f/X/Docs/lsub"
  put "$f/P/Docs/DEAD.txt" dd 1600000700
  put "$f/Y/Docs/both.txt" Y 1600000400
  put "$f/Y/Docs/y.txt" y 1600000000
  put "$f/R/Docs/r.txt" r 1600000000
  put "$f/R/Docs/BOTH.TXT" R 1600000050
  put "$f/U/Docs/u.txt" u 1600000000
  [ "$plain" -eq 1 ] && return
  ln -s nowhere "$f/X/Docs/dead.txt"
  mkfifo "$f/X/Docs/pipe.txt"
  put "$f/X/Docs/old.txt" o 100
  put "$f/P/Docs/future.txt" fu 2400000000
  put "$f/X/Docs/future.txt" fx 1600000000
}

# Folder times change with every run and are left out.
manifest() {
  (
    cd "$1" || exit 1
    find . -mindepth 1 \( ! -type f -printf '%P %y %m %l\n' \) -o -printf '%P %y %s %m %T@\n' | LC_ALL=C sort
    find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum
  )
}

folder_of() {  # folder_of <root> <name>: "T/" stands for a folder text ending in '/'
  case $2 in
    T/) printf '%s/T/Docs/' "$1" ;;
    Q) printf '%s/Q/docs' "$1" ;;
    *) printf '%s/%s/Docs' "$1" "$2" ;;
  esac
}

runs=0
differing=0
for mode in folders files; do
  for attr in "" --all-files; do
    for ext in "" "--ext txt" "--ext TXT"; do
      all_lists=("X Y | P Q R" "X Y U | P R T/ nope" "X | X" "T/ | X P")
      [ "$plain" -eq 1 ] && all_lists=("X Y | P Q R" "X Y U | P R nope")
      for lists in "${all_lists[@]}"; do
        results=()
        for b in 0 1; do
          root=$work/$b
          rm -rf "$root"
          fixture "$root"
          args=(--list1)
          for x in ${lists%|*}; do args+=("$(folder_of "$root" "$x")"); done
          args+=(--list2)
          for x in ${lists#*|}; do args+=("$(folder_of "$root" "$x")"); done
          # shellcheck disable=SC2086
          out=$(timeout 60 "${builds[$b]}" $mode $attr $ext --report "${args[@]}" 2>&1)
          rc=$?
          results+=("$(grep -v '^wall' <<<"$out" | sed "s|$root|ROOT|g")
exit $rc
$(manifest "$root")")
        done
        runs=$((runs + 1))
        if [ "${results[0]}" != "${results[1]}" ]; then
          differing=$((differing + 1))
          echo "DIFFERENT: $mode $attr $ext, lists $lists"
          diff <(echo "${results[0]}") <(echo "${results[1]}") | head -20
        fi
      done
    done
  done
done
echo "$runs runs, $differing different"
[ "$differing" -eq 0 ]
