#!/usr/bin/env bash
# What the runs' memory costs: a build before it (OLD) and one with it (NEW,
# with --memory) side by side, on the same data, in one hyperfine call per
# workload:
#   W1   no change: two folders of 100,000 files of 100 bytes with equal
#        times, folders mode (the memory read in one pass per folder pair)
#   W3   the first run copying 100,000 new files of 100 bytes to an empty
#        folder (every copy remembered)
#   M1   no change: one folder of 1,000,000 files a side; time and peak memory
#   C1   a run after 1,000 edits on each side, the later winning: 1,000 edits
#        kept beside their files; its time, and the memory's size on disk per
#        remembered pair
#
# usage (from the repository root):
#   bash bench/memory_cost.sh OLD/folderly_bench NEW/folderly_bench
# environment: FOLDERLY_BENCH_SCALE (1 = as above), FOLDERLY_BENCH_DIR
# (where the data is made, default /tmp), FOLDERLY_BENCH_RUNS (default 5).
set -euo pipefail

if [ $# -ne 2 ] || [ ! -x "$1" ] || [ ! -x "$2" ]; then
  echo "usage: bash bench/memory_cost.sh OLD/folderly_bench NEW/folderly_bench" >&2
  exit 2
fi
old=$(readlink -f "$1") new=$(readlink -f "$2")
for tool in hyperfine /usr/bin/time python3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/install-deps.sh --bench)" >&2; exit 2; }
done
scale=${FOLDERLY_BENCH_SCALE:-1}
runs=${FOLDERLY_BENCH_RUNS:-5}
work=$(mktemp -d "${FOLDERLY_BENCH_DIR:-${TMPDIR:-/tmp}}/folderly-memory-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
count() { python3 -c "print(max(1, int($1 * $scale)))"; }

# fill <folder> <count> <content> <time>: count files of 100 bytes.
fill() {
  python3 - "$@" <<'PY'
import os, sys
folder, n, content, when = sys.argv[1], int(sys.argv[2]), sys.argv[3], int(sys.argv[4])
os.makedirs(folder, exist_ok=True)
data = (content * 100)[:100].encode()
for i in range(n):
    path = "%s/f%07d" % (folder, i)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (when, when))
PY
}
# peak <command...>: the peak resident memory in MiB.
peak() {
  /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1 | awk '{ printf "%.1f", $1 / 1024 }'
}
timed() {  # timed <name> <old command> <new command> [hyperfine options...]
  local name=$1 oldcmd=$2 newcmd=$3
  shift 3
  hyperfine --style basic --warmup 1 --runs "$runs" "$@" -n "$name old" "$oldcmd" -n "$name new" "$newcmd" \
    --export-json "$work/$name.json" >/dev/null
  python3 - "$work/$name.json" "$name" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
o, n = r[0]["mean"], r[1]["mean"]
print("%s: old %.3f s, new %.3f s (%.2f x)" % (sys.argv[2], o, n, n / o))
PY
}

n=$(count 100000)
echo "W1: no change, 2 x $n files, folders mode"
fill "$work/w1/a/Docs" "$n" a 1700000000
fill "$work/w1/b/Docs" "$n" a 1700000000
"$new" folders --memory "$work/w1.db" --list1 "$work/w1/a/Docs" --list2 "$work/w1/b/Docs" >/dev/null
timed W1 "$old folders --list1 $work/w1/a/Docs --list2 $work/w1/b/Docs" \
  "$new folders --memory $work/w1.db --list1 $work/w1/a/Docs --list2 $work/w1/b/Docs"

echo "W3: the first run, $n new files"
fill "$work/w3/a/Docs" "$n" c 1700000000
timed W3 "$old folders --list1 $work/w3/a/Docs --list2 $work/w3/b/Docs" \
  "$new folders --memory $work/w3.db --list1 $work/w3/a/Docs --list2 $work/w3/b/Docs" \
  --prepare "rm -rf $work/w3/b $work/w3.db $work/w3.db-wal $work/w3.db-shm; mkdir -p $work/w3/b/Docs; sync"
rm -rf "$work/w1" "$work/w3"

m=$(count 1000000)
echo "M1: no change, one folder of $m files a side"
fill "$work/m1/a/Docs" "$m" m 1700000000
fill "$work/m1/b/Docs" "$m" m 1700000000
"$new" folders --memory "$work/m1.db" --list1 "$work/m1/a/Docs" --list2 "$work/m1/b/Docs" >/dev/null
runs=$(( runs < 3 ? runs : 3 )) timed M1 "$old folders --list1 $work/m1/a/Docs --list2 $work/m1/b/Docs" \
  "$new folders --memory $work/m1.db --list1 $work/m1/a/Docs --list2 $work/m1/b/Docs"
echo "M1 peak memory: old $(peak "$old" folders --list1 "$work/m1/a/Docs" --list2 "$work/m1/b/Docs") MiB," \
  "new $(peak "$new" folders --memory "$work/m1.db" --list1 "$work/m1/a/Docs" --list2 "$work/m1/b/Docs") MiB"
echo "M1 memory on disk: $(du -k "$work/m1.db" | cut -f1) KiB for $m pairs"
rm -rf "$work/m1" "$work/m1.db"*

c=$(count 1000)
echo "C1: $c files edited on each side"
fill "$work/c1/a/Docs" "$c" x 1700000000
fill "$work/c1/b/Docs" "$c" x 1700000000
"$new" folders --memory "$work/c1.db" --list1 "$work/c1/a/Docs" --list2 "$work/c1/b/Docs" >/dev/null
fill "$work/c1/a/Docs" "$c" y 1700003600
fill "$work/c1/b/Docs" "$c" z 1700007200
start=$(date +%s.%N)
out=$("$new" folders --memory "$work/c1.db" --list1 "$work/c1/a/Docs" --list2 "$work/c1/b/Docs")
end=$(date +%s.%N)
echo "C1: $(python3 -c "print('%.3f' % ($end - $start))") s, $(grep -o 'kept [0-9]*' <<<"$out")," \
  "memory on disk $(du -b "$work/c1.db" | cut -f1) bytes for $c pairs"
