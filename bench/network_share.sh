#!/usr/bin/env bash
# A run with nothing to do over a Samba share through gvfs's FUSE folder,
# against rsync's dry run over the same folders: 2,000 files of a few bytes
# a side (FOLDERLY_BENCH_FILES), the same times, folders mode. Each command
# waits 2 s before it starts, so that neither finds the kernel's one-second
# memory of the share's names that the other left. Serves and mounts the
# share as the network tests do (root, Samba, gvfs; see tests/network).
#
# usage (from the repository root, as root):
#   bash bench/network_share.sh NEW/folderly_bench [OLD/folderly_bench]
set -uo pipefail

[ $# -ge 1 ] || { echo "usage: bash bench/network_share.sh NEW/folderly_bench [OLD/folderly_bench]" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/folderly-share-bench.XXXXXX")
. "$(dirname "$0")/../tests/network/share_mounts.sh"
why=$(share_unavailable)
[ -z "$why" ] || { echo "cannot measure: $why" >&2; exit 2; }
start_shares || { echo "the share could not be served or mounted" >&2; exit 1; }
files=${FOLDERLY_BENCH_FILES:-2000}
rounds=${FOLDERLY_BENCH_RUNS:-5}
here=$user_home/Local/Docs there=$smb_mount/Docs
as_user mkdir -p "$here" "$there"
make_files() {  # make_files <folder>: as its owner
  (cd "$1" && seq 1 "$files" | sed 's/^/f/' | xargs touch && for f in f*; do echo "$f" >"$f"; done &&
    touch -d "2024-01-01 10:00:00" f*)
}
as_user bash -c "$(declare -f make_files); files=$files; make_files '$here'"
mkdir -p "$smb_real/Docs" && make_files "$smb_real/Docs" && chown -R "$share_user:" "$smb_real/Docs"

names=() commands=()
for b in "$@"; do
  copy=$work/bench${#names[@]}
  install -m 755 "$b" "$copy"
  names+=("$b") commands+=("$copy folders --list1 $here --list2 $there")
done
names+=("rsync -r -t --dry-run") commands+=("rsync -r -t --dry-run $here/ $there/")
seconds() {  # seconds <command>: its wall time as the user, after the pause
  sleep 2
  local start end
  start=$(date +%s.%N)
  as_user $1 >/dev/null
  end=$(date +%s.%N)
  python3 -c "print(f'{$end - $start:.3f}')"
}
for ((i = 0; i < ${#names[@]}; i++)); do
  times=()
  for ((r = 0; r < rounds; r++)); do times+=("$(seconds "${commands[$i]}")"); done
  echo "${names[$i]}: ${times[*]} s (median $(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((rounds + 1) / 2))p") s)"
done
