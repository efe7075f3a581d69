# Sourced by the shell tests that run folderly_bench: their failure count,
# one run's Report lines, and the check of those lines. Set bench (the
# program) first; run_as, when set, is the command a run goes through (a
# test's own user).
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# One run; sets out (the lines after the counts, sorted) and total (TotalCount).
run() {  # run <mode> <list 1 folder> <list 2 folder>
  local all
  all=$(${run_as:-} "$bench" "$1" --report --list1 "$2" --list2 "$3" 2>&1)
  total=$(sed -n 's/^TotalCount \([0-9]*\),.*/\1/p' <<<"$all")
  out=$(grep -v -e '^mode ' -e '^TotalCount ' -e '^wall ' <<<"$all" | LC_ALL=C sort)
}

expect_lines() {  # expect_lines <what> <expected lines, one a line>
  local want
  want=$(LC_ALL=C sort <<<"$2")
  [ "$out" = "$want" ] || fail "$1: Report list
$out
--- expected
$want"
}
