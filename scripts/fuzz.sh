#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/) with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz, and runs each for SECONDS seconds
# from a copy of its seeds in fuzz/corpus/<target>, so that the committed
# seeds do not grow. Prints how many inputs each target ran; fails when a
# target finds a crash, a hang, a leak or a sanitizer report, and names the
# input that did it.
#
#   scripts/fuzz.sh SECONDS
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: fuzz.sh SECONDS}
targets=(list_file settings_store legacy_options wildcard_mask case_fold trash_path)
build="build-fuzz"
runs=$build/fuzz-runs

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DFOLDERLY_FUZZ=ON >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}"

# The files the targets write and read for each input go to memory where
# it can be had: every list file and settings write is flushed to its drive.
scratch_root=/dev/shm
[ -d "$scratch_root" ] && [ -w "$scratch_root" ] || scratch_root=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$scratch_root/folderly-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

failed=()
for target in "${targets[@]}"; do
  work=$runs/$target
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts" "$scratch/$target"
  cp -R "fuzz/corpus/$target/." "$work/corpus/"
  status=0
  TMPDIR=$scratch/$target UBSAN_OPTIONS=print_stacktrace=1 \
    "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" >"$work/log" 2>&1 || status=$?
  executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
  # A slow input is kept too (slow-unit-*), but is no finding.
  found=$(find "$work/artifacts" -type f ! -name 'slow-unit-*' | head -n 1)
  if [ "$status" -ne 0 ] || [ -n "$found" ]; then
    echo "$target: FAILED after ${executed:-?} inputs (exit $status)${found:+, input kept in $found}; log: $work/log"
    grep -m 1 -A 20 -E '^==[0-9]+==ERROR|runtime error|fuzz check failed|^==[0-9]+== ERROR' "$work/log" || tail -n 30 "$work/log"
    failed+=("$target")
  else
    echo "$target: ${executed:-?} inputs in ${seconds} s, nothing found"
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: findings in ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: every target ran ${seconds} s without a finding"
