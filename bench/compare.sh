#!/usr/bin/env bash
# Folderly against the tools a Linux user would otherwise use, on the same
# data, side by side with hyperfine:
#   W1  no change: two folders of 100,000 files of 100 bytes with equal
#       times, folders mode, against rsync -d -t --dry-run on the same pair
#   W2  big copies: 8 files of 128 MiB on one side only, against cp -p
#   W3  many small copies: 100,000 files of 100 bytes on one side only,
#       against cp -p
#   W4  files mode breadth: 40 x 40 folders of 250 files with the same names,
#       half of the pairs going each way; the time per pair, and again with
#       both lists doubled
#   W5  files mode, many folders: N folders a side with 3 files each, folder
#       i of List 1 sharing its names with folder i of List 2 (one name later
#       on each side, one equal), N = 250, 500, 1000; the time per folder
#   W6  a sparse file of 5 GiB with 3 bytes of data, folders mode, against
#       cp -p: the holes must stay holes
#   peak memory of every workload (/usr/bin/time)
# Before timing, each workload is run once by both tools on fresh data and
# the results are compared (names, sizes, modes, last-write times to the
# nanosecond, content); a difference stops the script.
#
# usage (from the repository root):
#   bash bench/compare.sh build/bench/folderly_bench
# environment:
#   FOLDERLY_BENCH_SCALE   size of the workloads, 1 = as above (0.05 for a
#                          quick check: file counts, file sizes and W4's
#                          folder counts shrink alike)
#   FOLDERLY_BENCH_DIR     where the workloads are made (default $TMPDIR or
#                          /tmp); a folder of its own is made in it and
#                          removed at the end
#   FOLDERLY_BENCH_RUNS    timed runs per command for W1-W3 (default 5)
#   FOLDERLY_BENCH_W4_RUNS timed runs per command for W4 (default 2; 0 leaves
#                          W4 out)
#   FOLDERLY_BENCH_W5_RUNS timed runs per command for W5 and W6 (default 3)
#   FOLDERLY_BENCH_JSON    folder to keep hyperfine's JSON exports in
#   FOLDERLY_BENCH_FS      ext4 or xfs: make the workloads on a fresh file
#                          system of that kind (a 24 GB sparse image in
#                          FOLDERLY_BENCH_DIR, on a loop device; needs root),
#                          so that no earlier run's freed inodes or dirty
#                          data weigh on this one
# W2 and W3 are also timed against cp -p followed by sync: Folderly's copies
# reach the disk before their names do, cp's only when the kernel writes
# them back, so the second comparison is the one of equal durability.
set -euo pipefail

if [ $# -ne 1 ] || [ ! -x "$1" ]; then
  echo "usage: bash bench/compare.sh path/to/folderly_bench" >&2
  exit 2
fi
bench=$(readlink -f "$1")
for tool in hyperfine rsync cp /usr/bin/time sha256sum find awk; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/install-deps.sh --bench)" >&2; exit 2; }
done

scale=${FOLDERLY_BENCH_SCALE:-1}
runs=${FOLDERLY_BENCH_RUNS:-5}
w4runs=${FOLDERLY_BENCH_W4_RUNS:-2}
w5runs=${FOLDERLY_BENCH_W5_RUNS:-3}
base=${FOLDERLY_BENCH_DIR:-${TMPDIR:-/tmp}}

scaled() {  # scaled <full size> <smallest>
  awk -v n="$1" -v s="$scale" -v m="$2" 'BEGIN { v = int(n * s + 0.5); print (v < m ? m : v) }'
}
small_files=$(scaled 100000 10)
big_mib=$(scaled 128 1)
big_files=8
w4_folders=$(scaled 40 2)
w4_files=250
w5_counts=("$(scaled 250 8)" "$(scaled 500 16)" "$(scaled 1000 32)")
w6_mib=$(scaled 5120 64)

work=$(mktemp -d "$base/folderly-bench.XXXXXX")
root=$work
# Removing what the runs made takes a while on a disk that discards freed
# blocks at once; it is done once, at the end, so that no timed run meets
# freshly freed inodes (ext4 without a journal skips those when it allocates).
cleanup() {
  echo "removing $root ..."
  if [ -n "${FOLDERLY_BENCH_FS:-}" ]; then
    umount "$root/fs" 2>/dev/null
    rm -f "$root/fs.img"
    rmdir "$root/fs" "$root" 2>/dev/null
  else
    rm -rf "$root"
  fi
}
trap cleanup EXIT
if [ -n "${FOLDERLY_BENCH_FS:-}" ]; then
  truncate -s 24G "$root/fs.img"
  # ext4 gets an inode per 4 KiB: the workloads make some two million files.
  case $FOLDERLY_BENCH_FS in
    ext4) mkfs.ext4 -q -i 4096 "$root/fs.img" ;;
    *) "mkfs.$FOLDERLY_BENCH_FS" -q "$root/fs.img" ;;
  esac
  mkdir "$root/fs"
  mount -o loop "$root/fs.img" "$root/fs"
  work=$root/fs
fi
jsondir=${FOLDERLY_BENCH_JSON:-$work/json}
mkdir -p "$jsondir"

# --- helpers ---------------------------------------------------------------

load() { awk '{ print $1 }' /proc/loadavg; }

# One line per entry: name, size, mode and last-write time (nanoseconds), then
# one per file with its content's hash: the result a sync tool leaves.
manifest() {  # manifest <folder>
  (
    cd "$1"
    find . -mindepth 1 -printf '%P %s %m %T@\n' | LC_ALL=C sort
    find . -mindepth 1 -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum
  )
}

same_result() {  # same_result <what> <folder> <folder>
  if ! cmp -s <(manifest "$2") <(manifest "$3"); then
    echo "RESULT CHECK FAILED: $1: $2 and $3 differ" >&2
    diff <(manifest "$2") <(manifest "$3") | head -20 >&2
    exit 1
  fi
  echo "  result check: $1: same names, sizes, modes, times and content"
}

# The page cache of this machine does not keep what was read a minute ago
# (the host takes memory back), so every timed run is preceded by reading
# what it will read: names and attributes, or whole files. Runs that write
# are also preceded by sync, so that no run pays for writing back what the
# run before it wrote.
warm_names() { du -s "$@" >/dev/null; }

# Fills a folder with count files of 100 bytes, all with the given time.
small_folder() {  # small_folder <folder> <count> <epoch seconds>
  local dir=$1 count=$2 i
  mkdir -p "$dir"
  for ((i = 0; i < count; i++)); do
    printf '%099d\n' "$i" >"$dir/f$i.txt"
  done
  find "$dir" -type f -exec touch -d "@$3" {} +
}

# A field of folderly_bench's report: "TotalCount 5, ProgressCount ..." -> 5
field() {  # field <output> <name>
  awk -v k="$2" '{ for (i = 1; i < NF; i++) if ($i == k) { v = $(i + 1); sub(",", "", v); print v } }' <<<"$1"
}

expect() {  # expect <what> <got> <wanted>
  if [ "$2" != "$3" ]; then
    echo "RESULT CHECK FAILED: $1 is $2, expected $3" >&2
    exit 1
  fi
}

medians() {  # medians <hyperfine json>: one median (seconds) per command, in order
  awk -F': ' '/"median"/ { gsub(/[ ,]/, "", $2); print $2 }' "$1"
}

peak_kib() {  # peak_kib <command...>: the command's peak resident memory
  local out
  out=$(/usr/bin/time -f 'PEAK %M' "$@" 2>&1 >/dev/null) || { echo "$out" >&2; exit 1; }
  awk '/^PEAK/ { print $2 }' <<<"$out"
}

# The arguments of a files-mode run over the first n folders of each side:
# root/l1/<name> as List 1, root/l2/<name> as List 2.
list_args() {  # list_args <root> <printf format of a folder's name> <n>
  local side i
  for side in 1 2; do
    printf -- '--list%s ' "$side"
    for ((i = 0; i < $3; i++)); do printf "%s/l%s/$2 " "$1" "$side" "$i"; done
  done
}

declare -a table peaks
row() { table+=("$1"); }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
ms() { awk -v s="$1" 'BEGIN { printf "%.1f ms", s * 1000 }'; }

# --- the machine -----------------------------------------------------------

echo "== machine"
echo "cpu:    $(lscpu | awk -F': +' '/^Model name/ { print $2; exit }'), $(nproc) cores"
echo "memory: $(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
echo "kernel: $(uname -r)"
echo "folder: $work on $(findmnt -n -o FSTYPE,OPTIONS -T "$work" 2>/dev/null || stat -f -c %T "$work")"
echo "scale:  $scale (W1/W3 $small_files files, W2 $big_files x $big_mib MiB, W4 ${w4_folders}x${w4_folders}x$w4_files, W5 ${w5_counts[*]} folders, W6 $w6_mib MiB)"
echo "load:   $(load) (1-minute average at the start)"

# --- W1: no change -----------------------------------------------------------

echo "== W1: no change, folders mode, against rsync -d -t --dry-run"
w1=$work/w1
small_folder "$w1/a/Docs" "$small_files" 1700000000
mkdir -p "$w1/b"
cp -pr "$w1/a/Docs" "$w1/b/"
before=$(manifest "$w1/a/Docs"; manifest "$w1/b/Docs")
out=$("$bench" folders --list1 "$w1/a/Docs" --list2 "$w1/b/Docs")
expect "W1 Folderly's count of copies" "$(field "$out" TotalCount)" 0
expect "W1 Folderly's report lines" "$(field "$out" lines)" 0
# Lines of rsync's plan that name a file (the folder's own line aside).
plan=$(rsync -d -t --dry-run --itemize-changes "$w1/a/Docs/" "$w1/b/Docs/" | grep -c '^.f' || true)
expect "W1 rsync's planned file changes" "$plan" 0
after=$(manifest "$w1/a/Docs"; manifest "$w1/b/Docs")
[ "$before" = "$after" ] || { echo "RESULT CHECK FAILED: W1 changed the folders" >&2; exit 1; }
echo "  result check: both find nothing to do and leave both folders as they were"

cat >"$work/w1-warm.sh" <<EOF
du -s "$w1/a/Docs" "$w1/b/Docs" >/dev/null
EOF
echo "  load $(load)"
hyperfine -N --style basic --warmup 2 --runs "$runs" --export-json "$jsondir/w1.json" \
  --prepare "bash $work/w1-warm.sh" \
  -n folderly "$bench folders --list1 $w1/a/Docs --list2 $w1/b/Docs" \
  -n rsync "rsync -d -t --dry-run $w1/a/Docs/ $w1/b/Docs/"
mapfile -t m < <(medians "$jsondir/w1.json")
row "| W1 no change, $small_files files | $(ms "${m[0]}") | rsync -d -t --dry-run $(ms "${m[1]}") | $(ratio "${m[0]}" "${m[1]}") |"

warm_names "$w1/a/Docs" "$w1/b/Docs"
w1_peak=$(peak_kib "$bench" folders --list1 "$w1/a/Docs" --list2 "$w1/b/Docs")
peaks+=("W1 $w1_peak")
warm_names "$w1/a/Docs" "$w1/b/Docs"
w1_rsync_peak=$(peak_kib rsync -d -t --dry-run "$w1/a/Docs/" "$w1/b/Docs/")

# --- W2: big copies ------------------------------------------------------------

echo "== W2: big copies, folders mode, against cp -p"
w2=$work/w2
mkdir -p "$w2/src/Big"
for ((i = 0; i < big_files; i++)); do
  head -c "$((big_mib << 20))" /dev/urandom >"$w2/src/Big/big$i.bin"
done
find "$w2/src/Big" -type f -exec touch -d @1700000000 {} +
mkdir -p "$w2/folderly/Big" "$w2/cp"
cat >"$work/w2-reset.sh" <<EOF
rm -f "$w2/folderly/Big/"* "$w2/cp/"*
cat "$w2/src/Big/"* >/dev/null
sync
EOF
out=$("$bench" folders --list1 "$w2/src/Big" --list2 "$w2/folderly/Big")
expect "W2 Folderly's report lines" "$(field "$out" lines)" "$big_files"
cp -p "$w2/src/Big/"* "$w2/cp/"
same_result "W2 Folderly against cp -p" "$w2/folderly/Big" "$w2/cp"
bash "$work/w2-reset.sh"

echo "  load $(load)"
hyperfine -N --style basic --warmup 1 --runs "$runs" --export-json "$jsondir/w2.json" \
  --prepare "bash $work/w2-reset.sh" \
  -n folderly "$bench folders --list1 $w2/src/Big --list2 $w2/folderly/Big" \
  -n cp "cp -p $(printf "$w2/src/Big/big%d.bin " $(seq 0 $((big_files - 1))))$w2/cp/" \
  -n cp-sync "sh -c 'cp -p $w2/src/Big/* $w2/cp/ && sync'"
bash "$work/w2-reset.sh"
peaks+=("W2 $(peak_kib "$bench" folders --list1 "$w2/src/Big" --list2 "$w2/folderly/Big")")
mapfile -t m < <(medians "$jsondir/w2.json")
row "| W2 big copies, $big_files x $big_mib MiB | $(ms "${m[0]}") | cp -p $(ms "${m[1]}") | $(ratio "${m[0]}" "${m[1]}") |"
row "| W2, as durable as Folderly's copies | | cp -p, then sync $(ms "${m[2]}") | $(ratio "${m[0]}" "${m[2]}") |"
# The big files are not needed any more, and freeing eight inodes harms no
# later allocation.
rm -rf "$w2"

# --- W3: many small copies -----------------------------------------------------

echo "== W3: many small copies, folders mode, against cp -p"
# The source is W1's List 1 folder. Every run copies into a new, empty folder;
# the folder of the run before is moved aside, not removed (see cleanup).
w3=$work/w3
mkdir -p "$w3/folderly" "$w3/cp" "$w3/old"
mkdir "$w3/folderly/Docs" "$w3/cp/Docs"
cat >"$work/w3-reset.sh" <<EOF
n=\$(date +%s%N)
mv "$w3/\$1/Docs" "$w3/old/\$1-\$n"
mkdir "$w3/\$1/Docs"
find "$w1/a/Docs" -type f -exec cat {} + >/dev/null
sync
EOF
out=$("$bench" folders --list1 "$w1/a/Docs" --list2 "$w3/folderly/Docs")
expect "W3 Folderly's report lines" "$(field "$out" lines)" "$small_files"
cp -pr "$w1/a/Docs/." "$w3/cp/Docs/"
same_result "W3 Folderly against cp -p" "$w3/folderly/Docs" "$w3/cp/Docs"
w3_peak_dir=$w3/folderly/Docs
bash "$work/w3-reset.sh" folderly
w3_peak=$(peak_kib "$bench" folders --list1 "$w1/a/Docs" --list2 "$w3_peak_dir")
peaks+=("W3 $w3_peak")
bash "$work/w3-reset.sh" cp
w3_cp_peak=$(peak_kib cp -pr "$w1/a/Docs/." "$w3/cp/Docs/")

echo "  load $(load)"
hyperfine -N --style basic --runs "$runs" --export-json "$jsondir/w3.json" \
  --prepare "bash $work/w3-reset.sh folderly" \
  -n folderly "$bench folders --list1 $w1/a/Docs --list2 $w3/folderly/Docs" \
  --prepare "bash $work/w3-reset.sh cp" \
  -n cp "cp -pr $w1/a/Docs/. $w3/cp/Docs/" \
  --prepare "bash $work/w3-reset.sh cp" \
  -n cp-sync "sh -c 'cp -pr $w1/a/Docs/. $w3/cp/Docs/ && sync'"
mapfile -t m < <(medians "$jsondir/w3.json")
row "| W3 many small copies, $small_files files | $(ms "${m[0]}") | cp -p $(ms "${m[1]}") | $(ratio "${m[0]}" "${m[1]}") |"
row "| W3, as durable as Folderly's copies | | cp -p, then sync $(ms "${m[2]}") | $(ratio "${m[0]}" "${m[2]}") |"

# --- W4: files mode breadth ------------------------------------------------------

# A function, so that FOLDERLY_BENCH_W4_RUNS=0 can leave out the longest workload.
run_w4() {

echo "== W4: files mode, ${w4_folders}x${w4_folders} folders of $w4_files files, and both lists doubled"
# Names e* go from List 1 to List 2: the List 1 folder handled later (lower
# in the list) always has the later time. Names o* go from List 2 to List 1:
# their List 2 copies are later than every List 1 copy. So half of all pairs
# go each way, whatever the earlier pairs did.
w4=$work/w4
doubled=$((2 * w4_folders))
t0=1600000000
half=$((w4_files / 2))
for side in l1 l2; do
  for ((i = 0; i < doubled; i++)); do
    d=$(printf '%s/%s/d%03d' "$w4" "$side" "$i")
    mkdir -p "$d"
    for ((j = 0; j < half; j++)); do
      printf -v n '%03d' "$j"
      printf '%099d\n' "$j" >"$d/e$n.txt"
      printf '%099d\n' "$j" >"$d/o$n.txt"
    done
  done
done
for ((i = 0; i < doubled; i++)); do
  d=$(printf '%s/l1/d%03d' "$w4" "$i")
  find "$d" -name 'e*' -exec touch -d "@$((t0 + 1000 + (doubled - 1 - i) * 10))" {} +
done
find "$w4/l2" -name 'o*' -exec touch -d "@$((t0 + 1000))" {} +
cat >"$work/w4-reset.sh" <<EOF
find "$w4/l1" -name 'o*' -exec touch -d @$t0 {} +
find "$w4/l2" -name 'e*' -exec touch -d @$t0 {} +
find "$w4" -type f -exec cat {} + >/dev/null
sync
EOF
bash "$work/w4-reset.sh"
pairs=$((w4_folders * w4_folders * w4_files))
pairs2=$((doubled * doubled * w4_files))
# shellcheck disable=SC2046
out=$("$bench" files $(list_args "$w4" d%03d "$w4_folders"))
expect "W4 Folderly's count of copies" "$(field "$out" TotalCount)" "$pairs"
expect "W4 Folderly's report lines" "$(field "$out" lines)" "$pairs"
# Every e* of List 2 ends with the time of the last List 1 folder handled
# (d000), every o* of List 1 with the List 2 time.
last=$((t0 + 1000 + (doubled - 1) * 10))
folders=()
for side in l1 l2; do
  for ((i = 0; i < w4_folders; i++)); do folders+=("$(printf '%s/%s/d%03d' "$w4" "$side" "$i")"); done
done
got=$(find "${folders[@]}" -maxdepth 1 -type f -printf '%h %f %T@\n' |
  awk -v l1="$w4/l1/" -v e="$last" -v o="$((t0 + 1000))" '
    index($1, l1) == 1 && substr($2, 1, 1) == "o" && int($3) != o { bad++ }
    index($1, l1) != 1 && substr($2, 1, 1) == "e" && int($3) != e { bad++ }
    END { print bad + 0 }')
expect "W4 files not carrying the later time" "$got" 0
echo "  result check: $pairs copies, each copy now carries the later time"
bash "$work/w4-reset.sh"

echo "  load $(load)"
# shellcheck disable=SC2046
hyperfine -N --style basic --runs "$w4runs" --export-json "$jsondir/w4.json" \
  --prepare "bash $work/w4-reset.sh" \
  -n "folderly ${w4_folders}x${w4_folders}" "$bench files $(list_args "$w4" d%03d "$w4_folders")" \
  -n "folderly ${doubled}x${doubled}" "$bench files $(list_args "$w4" d%03d "$doubled")"
bash "$work/w4-reset.sh"
# shellcheck disable=SC2046
peaks+=("W4 $(peak_kib "$bench" files $(list_args "$w4" d%03d "$w4_folders"))")
mapfile -t m < <(medians "$jsondir/w4.json")
per1=$(awk -v s="${m[0]}" -v p="$pairs" 'BEGIN { printf "%.1f", s * 1e6 / p }')
per2=$(awk -v s="${m[1]}" -v p="$pairs2" 'BEGIN { printf "%.1f", s * 1e6 / p }')
row "| W4 files mode, ${w4_folders}x${w4_folders}x$w4_files = $pairs pairs | $(ms "${m[0]}") ($per1 µs/pair) | ${doubled}x${doubled}x$w4_files: $(ms "${m[1]}") ($per2 µs/pair) | $(ratio "$per2" "$per1") per pair |"
}
if [ "$w4runs" -gt 0 ]; then run_w4; fi

# --- W5: files mode, many folders ---------------------------------------------------

echo "== W5: files mode, ${w5_counts[*]} folders a side of 3 files each"
# List 1 folder i and List 2 folder i share three names: a* is later in
# List 1, b* later in List 2, c* equal (files mode copies it from List 2).
# Every run makes 3 copies per folder; no name is in two folders of a side.
w5=$work/w5
w5_max=${w5_counts[2]}
for side in l1 l2; do
  for ((i = 0; i < w5_max; i++)); do
    d=$(printf '%s/%s/d%04d' "$w5" "$side" "$i")
    mkdir -p "$d"
    for k in a b c; do printf '%099d\n' "$i" >"$d/$k$i.txt"; done
  done
done
t5=1600000000
cat >"$work/w5-reset.sh" <<EOF
find "$w5/l1" -name 'a*' -exec touch -d @$((t5 + 1000)) {} +
find "$w5/l2" -name 'a*' -exec touch -d @$t5 {} +
find "$w5/l1" -name 'b*' -exec touch -d @$t5 {} +
find "$w5/l2" -name 'b*' -exec touch -d @$((t5 + 1000)) {} +
find "$w5" -name 'c*' -exec touch -d @$t5 {} +
find "$w5" -type f -exec cat {} + >/dev/null
sync
EOF
bash "$work/w5-reset.sh"
# shellcheck disable=SC2046
out=$("$bench" files $(list_args "$w5" d%04d "$w5_max"))
expect "W5 Folderly's count of copies" "$(field "$out" TotalCount)" $((3 * w5_max))
expect "W5 Folderly's report lines" "$(field "$out" lines)" $((3 * w5_max))
# Both copies of every name now carry the later time (c*: the equal one).
got=$(find "$w5" -type f -printf '%f %T@\n' |
  awk -v late="$((t5 + 1000))" -v early="$t5" '
    substr($1, 1, 1) != "c" && int($2) != late { bad++ }
    substr($1, 1, 1) == "c" && int($2) != early { bad++ }
    END { print bad + 0 }')
expect "W5 files not carrying the later time" "$got" 0
echo "  result check: $((3 * w5_max)) copies, each copy now carries the later time"
bash "$work/w5-reset.sh"
echo "  load $(load)"
w5_commands=()
for n in "${w5_counts[@]}"; do
  # shellcheck disable=SC2046
  w5_commands+=(-n "folderly $n folders" "$bench files $(list_args "$w5" d%04d "$n")")
done
hyperfine -N --style basic --runs "$w5runs" --export-json "$jsondir/w5.json" \
  --prepare "bash $work/w5-reset.sh" "${w5_commands[@]}"
mapfile -t m < <(medians "$jsondir/w5.json")
per=()
for k in 0 1 2; do per+=("$(awk -v s="${m[$k]}" -v n="${w5_counts[$k]}" 'BEGIN { printf "%.3f", s * 1000 / n }')"); done
row "| W5 files mode, ${w5_counts[0]} / ${w5_counts[1]} / ${w5_counts[2]} folders of 3 files a side | $(ms "${m[0]}") / $(ms "${m[1]}") / $(ms "${m[2]}") (${per[0]} / ${per[1]} / ${per[2]} ms per folder) | | $(ratio "${per[1]}" "${per[0]}") and $(ratio "${per[2]}" "${per[1]}") per folder, doubled / base |"
bash "$work/w5-reset.sh"
# shellcheck disable=SC2046
peaks+=("W5 $(peak_kib "$bench" files $(list_args "$w5" d%04d "$w5_max"))")

# --- W6: a sparse file --------------------------------------------------------------

echo "== W6: a sparse file of $w6_mib MiB with 3 bytes of data, folders mode, against cp -p"
w6=$work/w6
mkdir -p "$w6/src/Sparse" "$w6/folderly/Sparse" "$w6/cp"
sparse=$w6/src/Sparse/sparse.bin
truncate -s "${w6_mib}M" "$sparse"
for at in 0 $((w6_mib * 524288)) $((w6_mib * 1048576 - 1)); do
  printf 'x' | dd of="$sparse" bs=1 seek="$at" conv=notrunc status=none
done
touch -d @1700000000 "$sparse"
cat >"$work/w6-reset.sh" <<EOF
rm -f "$w6/folderly/Sparse/sparse.bin" "$w6/cp/sparse.bin"
sync
EOF
out=$("$bench" folders --list1 "$w6/src/Sparse" --list2 "$w6/folderly/Sparse")
expect "W6 Folderly's report lines" "$(field "$out" lines)" 1
cp -p "$sparse" "$w6/cp/"
for copy in "$w6/folderly/Sparse/sparse.bin" "$w6/cp/sparse.bin"; do
  cmp -s "$sparse" "$copy" || { echo "RESULT CHECK FAILED: W6 $copy differs from the source" >&2; exit 1; }
  [ "$(stat -c %Y "$copy")" = 1700000000 ] || { echo "RESULT CHECK FAILED: W6 $copy has another time" >&2; exit 1; }
done
w6_kib=$(du -k "$w6/folderly/Sparse/sparse.bin" | awk '{ print $1 }')
w6_cp_kib=$(du -k "$w6/cp/sparse.bin" | awk '{ print $1 }')
[ "$w6_kib" -le 1024 ] || { echo "RESULT CHECK FAILED: W6 Folderly's copy takes $w6_kib KiB on disk" >&2; exit 1; }
echo "  result check: both copies equal the source; on disk Folderly's takes $w6_kib KiB, cp's $w6_cp_kib KiB"
bash "$work/w6-reset.sh"
echo "  load $(load)"
hyperfine -N --style basic --runs "$w5runs" --export-json "$jsondir/w6.json" \
  --prepare "bash $work/w6-reset.sh" \
  -n folderly "$bench folders --list1 $w6/src/Sparse --list2 $w6/folderly/Sparse" \
  -n cp "cp -p $sparse $w6/cp/"
mapfile -t m < <(medians "$jsondir/w6.json")
row "| W6 sparse file, $w6_mib MiB with 3 bytes of data ($w6_kib KiB on disk after the copy) | $(ms "${m[0]}") | cp -p $(ms "${m[1]}") ($w6_cp_kib KiB) | $(ratio "${m[0]}" "${m[1]}") |"
bash "$work/w6-reset.sh"
peaks+=("W6 $(peak_kib "$bench" folders --list1 "$w6/src/Sparse" --list2 "$w6/folderly/Sparse")")
rm -rf "$w6"

# --- the table -------------------------------------------------------------------

echo
echo "== medians (scale $scale, load $(load) at the end)"
echo
echo "| workload | Folderly | other | Folderly / other |"
echo "|---|---|---|---|"
printf '%s\n' "${table[@]}"
echo
echo "| peak memory | Folderly | other |"
echo "|---|---|---|"
for p in "${peaks[@]}"; do
  case ${p%% *} in
    W1) other="rsync $((w1_rsync_peak / 1024)) MiB" ;;
    W3) other="cp $((w3_cp_peak / 1024)) MiB" ;;
    *) other="" ;;
  esac
  echo "| ${p%% *} | $((${p#* } / 1024)) MiB | $other |"
done
