#!/usr/bin/env bash
# Checks that two builds of folderly_bench do the same runs: each build runs
# on its own copy of one varied set of folders (files on one side or both,
# later, earlier and equal times, names that differ only in letter case,
# hidden files, subfolders, links to files, folders and nowhere, a FIFO, a
# read-only destination, a time past 2044, a missing folder, a folder ending
# in '/', a folder in both lists, names with case twins on either side, a
# namesake that is a folder, links that lead into another listed folder, one
# folder listed under two texts, several List 2 folders of one name), in both
# modes, with "Archive Files only" and "All Files", with and without an
# extension filter; then the counts, the Report list lines and the resulting
# folders (names, kinds, sizes, modes, last-write times of files, content,
# link targets) must be equal. Then two larger sets, in both modes and both
# file types: many folders a side with three files each (the files-mode
# breadth workload), and two pairs of folders with thousands of files, twins
# and links among them (large enough to be read on two threads).
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
  # Case twins: X holds two names for Twin.txt, P one other; R holds two for
  # dup.txt, X one; Y holds one more spelling.
  put "$f/X/Docs/Twin.txt" tw-new 1600000600
  put "$f/X/Docs/twin.txt" tw-old 1600000010
  put "$f/P/Docs/TWIN.txt" tw-mid 1600000300
  put "$f/Y/Docs/TWIN.TXT" tw-y 1600000800
  put "$f/R/Docs/Dup.txt" du1 1600000000
  put "$f/R/Docs/DUP.txt" du2 1600000900
  put "$f/X/Docs/dup.txt" du3 1600000400
  # A namesake that is a folder, with and without a twin beside the file.
  mkdir "$f/P/Docs/case.dir" "$f/P/Docs/solo.dir"
  put "$f/X/Docs/Case.dir" cd1 1600000000
  put "$f/X/Docs/CASE.dir" cd2 1600000000
  put "$f/X/Docs/Solo.dir" sd 1600000000
  # Links from List 2 folders into List 1 folders: a copy over P's link
  # changes X's file, which X's own turn must see.
  put "$f/X/Docs/cross.txt" c-old 1600000000
  ln -s ../../X/Docs/cross.txt "$f/P/Docs/cross.txt"
  put "$f/Y/Docs/cross.txt" c-new 1600000700
  put "$f/R/Docs/cross.txt" c-r 1600000350
  ln -s ../../Y/Docs/y.txt "$f/R/Docs/y.txt"
  # One folder under a second text: Lk/Docs is X/Docs.
  mkdir -p "$f/Lk"
  ln -s ../X/Docs "$f/Lk/Docs"
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
    */) printf '%s/%s/Docs/' "$1" "${2%/}" ;;
    Q) printf '%s/Q/docs' "$1" ;;
    *) printf '%s/%s/Docs' "$1" "$2" ;;
  esac
}

# Several files at once with one time: put_many <epoch seconds> <content> <path>...
put_many() {
  local t=$1 content=$2 p
  shift 2
  for p in "$@"; do printf '%s' "$content" >"$p"; done
  touch -d "@$t" "$@"
}

# Many folders a side with three files each, some names in several folders,
# and a twin: lists "l1/d000 ... | l2/d000 ...".
many_fixture() {  # many_fixture <root>
  local f=$1 i d
  for ((i = 0; i < 40; i++)); do
    printf -v d '%03d' "$i"
    mkdir -p "$f/l1/d$d" "$f/l2/d$d"
    put "$f/l1/d$d/a$i.txt" "a1-$i" $((1600000000 + i * 10))
    put "$f/l2/d$d/a$i.txt" "a2-$i" 1600000200
    put "$f/l1/d$d/b$i.txt" "b1-$i" 1600000000
    put "$f/l2/d$d/B$i.TXT" "b2-$i" 1600000100
    put "$f/l1/d$d/c$i.doc" "c1-$i" 1600000000
    put "$f/l2/d$d/c$i.doc" "c2-$i" 1600000000
    if ((i % 7 == 0)); then
      put "$f/l1/d$d/common.txt" "k1-$i" $((1600000000 + i))
      put "$f/l2/d$d/Common.txt" "k2-$i" 1600000020
    fi
  done
  put "$f/l1/d003/Twin.txt" t1 1600000000
  put "$f/l1/d003/twin.txt" t2 1600000400
  put "$f/l2/d005/TWIN.txt" t3 1600000200
}

# Two List 1 folders paired with one List 2 folder, thousands of names each:
# lists "B1 C | B2".
big_fixture() {  # big_fixture <root>
  local f=$1 i
  local -a same=() newer1=() newer2=() only1=() only2=()
  mkdir -p "$f/B1/Big" "$f/B2/Big" "$f/C/Big"
  for ((i = 0; i < 4000; i++)); do
    case $((i % 5)) in
      0) same+=("$i") ;;
      1) newer1+=("$i") ;;
      2) newer2+=("$i") ;;
      3) only1+=("$i") ;;
      4) only2+=("$i") ;;
    esac
  done
  put_many 1600000000 s "${same[@]/#/$f/B1/Big/f}" "${same[@]/#/$f/B2/Big/f}"
  put_many 1600000500 n1 "${newer1[@]/#/$f/B1/Big/f}" "${newer2[@]/#/$f/B2/Big/f}"
  put_many 1600000000 o "${newer1[@]/#/$f/B2/Big/f}" "${newer2[@]/#/$f/B1/Big/f}"
  put_many 1600000000 o1 "${only1[@]/#/$f/B1/Big/f}"
  put_many 1600000000 o2 "${only2[@]/#/$f/B2/Big/F}"
  put "$f/B1/Big/Twin" t1 1600000000
  put "$f/B1/Big/TWIN" t2 1600000900
  put "$f/B2/Big/twin" t3 1600000300
  ln -s f1 "$f/B2/Big/link"
  put "$f/B1/Big/link" l 1600000000
  mkdir "$f/B2/Big/f3"
  put "$f/C/Big/f1" c1 1600000800
  put "$f/C/Big/f4" c4 1600000800
  put "$f/C/Big/f8" c8 1600000800
}

runs=0
differing=0

# compare_run <fixture> <mode> <extra arguments> <lists>: both builds, each on
# a fresh copy of the fixture; lists names folders as folder_of does for the
# varied set, and as paths under the root for the others.
compare_run() {
  local make=$1 mode=$2 extra=$3 lists=$4 b root x out rc
  local -a results=() args=()
  for b in 0 1; do
    root=$work/$b
    rm -rf "$root"
    "$make" "$root"
    args=(--list1)
    for x in ${lists%|*}; do args+=("$(where "$root" "$make" "$x")"); done
    args+=(--list2)
    for x in ${lists#*|}; do args+=("$(where "$root" "$make" "$x")"); done
    # shellcheck disable=SC2086
    out=$(timeout 120 "${builds[$b]}" $mode $extra --report "${args[@]}" 2>&1)
    rc=$?
    results+=("$(grep -v '^wall' <<<"$out" | sed "s|$root|ROOT|g")
exit $rc
$(manifest "$root")")
  done
  runs=$((runs + 1))
  if [ "${results[0]}" != "${results[1]}" ]; then
    differing=$((differing + 1))
    echo "DIFFERENT: $make $mode $extra, lists $lists"
    diff <(echo "${results[0]}") <(echo "${results[1]}") | head -20
  fi
}

where() {  # where <root> <fixture> <name>
  if [ "$2" = fixture ]; then folder_of "$1" "$3"; else printf '%s/%s' "$1" "$3"; fi
}

all_lists=("X Y | P Q R" "X Y U | P R T/ nope" "X | X" "T/ | X P" "X Y | P X" "Y X | R Lk P" "X Lk | X/ Y")
[ "$plain" -eq 1 ] && all_lists=("X Y | P Q R" "X Y U | P R nope" "X Y | P X" "Y X | R Lk P")
many_lists="$(printf 'l1/d%03d ' $(seq 0 39))|$(printf ' l2/d%03d' $(seq 0 39))"
for mode in folders files; do
  for attr in "" --all-files; do
    for ext in "" "--ext txt" "--ext TXT"; do
      for lists in "${all_lists[@]}"; do
        compare_run fixture "$mode" "$attr $ext" "$lists"
      done
    done
    compare_run many_fixture "$mode" "$attr" "$many_lists"
    compare_run many_fixture "$mode" "$attr --ext txt" "$many_lists"
    compare_run big_fixture "$mode" "$attr" "B1/Big C/Big | B2/Big"
  done
done
echo "$runs runs, $differing different"
[ "$differing" -eq 0 ]
