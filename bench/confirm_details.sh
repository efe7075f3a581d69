#!/usr/bin/env bash
# What the confirmation's details cost: the pre-count of many small new
# files (100,000 of 100 bytes on one side, folders mode), alone and with the
# lines the confirmation shows; hyperfine times both, warm, one after the
# other, and the ratio is printed (the bound is 1.10).
#
#   bash bench/confirm_details.sh build/bench/folderly_bench [FILES]
set -euo pipefail
bench=$(readlink -f "$1")
files=${2:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/a/Docs" "$work/b/Docs"
(cd "$work/a/Docs" && head -c 100 /dev/urandom >seed && seq -f "file%06g.txt" 1 "$files" | xargs -n 1000 sh -c 'for f; do cp seed "$f"; done' sh && rm seed)
runs=${FOLDERLY_BENCH_RUNS:-10}
hyperfine -N --style basic --warmup 2 --runs "$runs" --export-json "$work/details.json" \
  -n count "$bench folders --count-only --list1 $work/a/Docs --list2 $work/b/Docs" \
  -n count-with-details "$bench folders --count-only --details --list1 $work/a/Docs --list2 $work/b/Docs"
python3 - "$work/details.json" <<'PY'
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
without, with_ = r["count"]["median"], r["count-with-details"]["median"]
print(f"pre-count {without * 1000:.1f} ms, with details {with_ * 1000:.1f} ms: {with_ / without:.3f} x (bound 1.10)")
PY
