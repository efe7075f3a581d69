# Sourced by the end-to-end tests: a folders-mode run that lasts as long as
# a test needs, on any machine. One folder of List 1 pairs with 192 empty
# namesakes in List 2, which the run fills one after the other, from the
# last. Each pair is read when the run comes to it, and a List 2 folder that
# is gone by then gets nothing, so a test that has seen enough makes the rest
# of the run short by removing the folders the run has not reached. The run
# says so ("… went away during the run: N file(s) could not be copied into
# it") and ends with status 1: long_run_ended_well tells that from a fault.
long_run_files=${long_run_files:-2000} long_run_folders=${long_run_folders:-192}

# make_long_run FOLDER: the files, the folders, and the two list files for
# the run in FOLDER.
make_long_run() {
  mkdir -p "$1/A/Docs"
  (cd "$1/A/Docs" && seq -f 'file%g.txt' "$long_run_files" | xargs touch)
  printf '%s\r\n' "$1/A/Docs" > "$1/List1.txt"
  local folder
  for folder in $(seq -f 'B%03g' "$long_run_folders"); do
    mkdir -p "$1/$folder/Docs"
    printf '%s\r\n' "$1/$folder/Docs"
  done > "$1/List2.txt"
}

# long_run_copies FOLDER: how many entries (copies, also those not yet
# placed under their names) the folder holds, in $copies; no process started.
long_run_copies() {
  local entries
  shopt -s nullglob dotglob
  entries=("$1"/*)
  shopt -u nullglob dotglob
  copies=${#entries[@]}
}
# The folder of List 2 the run fills at the given place.
long_run_folder() { printf -v folder '%s/B%03d/Docs' "$1" "$2"; }

# Whether the run has made its first copy.
long_run_copying() {
  local folder copies
  long_run_folder "$1" "$long_run_folders"
  long_run_copies "$folder"
  [ "$copies" != 0 ]
}

# shorten_long_run FOLDER: the run finishes the folder it fills and the next,
# then passes over the rest. (Only empty folders go, well behind the run.)
shorten_long_run() {
  local number folder copies behind=()
  for ((number = 1; number <= long_run_folders; number++)); do
    long_run_folder "$1" "$number"
    long_run_copies "$folder"
    [ "$copies" != 0 ] && break
    behind+=("$folder")
  done
  # (the last two may be the run's next)
  [ ${#behind[@]} -gt 2 ] && rmdir "${behind[@]:0:${#behind[@]}-2}" 2>/dev/null
  return 0
}

# long_run_ended_well STATUS LOG: whether "folderly --run" ended as a run
# shortened by shorten_long_run ends: 0, or 1 with no line in its output LOG
# but copies, folders that went away and its closing line; else says why.
long_run_ended_well() {
  [ "$1" = 0 ] && return 0
  local other
  other=$(grep -v -E -e ' copied successfully to ' -e '" went away during the run: [0-9]+ file\(s\) could not be copied into it$' \
    -e '^Folderly: [0-9]+ cop(y|ies) failed$' "$2" | head -3)
  [ "$1" = 1 ] && [ -z "$other" ] && return 0
  echo "the run ended with status $1: ${other:-$(tail -2 "$2")}"
  return 1
}

# long_run_complete FOLDER: every List 2 folder still there holds every file.
long_run_complete() {
  local folder copies
  for folder in "$1"/B*/Docs; do
    long_run_copies "$folder"
    [ "$copies" = "$long_run_files" ] || { echo "$folder holds $copies of $long_run_files files"; return 1; }
  done
}
