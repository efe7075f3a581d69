# Sourced by the end-to-end tests: a folders-mode run that lasts as long as
# a test needs, on any machine. One folder of List 1 pairs with 48 namesakes
# in List 2, each empty; the run fills them one after the other, from the
# last. Each pair is read when the run comes to it, and a List 2 folder that
# is not there is passed over, so a test that has seen enough makes the rest
# of the run short by removing the folders the run has not reached.
long_run_files=${long_run_files:-8000} long_run_folders=${long_run_folders:-48}

# make_long_run FOLDER: the files, the folders, and the two list files for
# the run in FOLDER.
make_long_run() {
  mkdir -p "$1/A/Docs"
  (cd "$1/A/Docs" && seq -f 'file%g.txt' "$long_run_files" | xargs touch)
  printf '%s\r\n' "$1/A/Docs" > "$1/List1.txt"
  local folder
  for folder in $(seq -f 'B%02g' "$long_run_folders"); do
    mkdir -p "$1/$folder/Docs"
    printf '%s\r\n' "$1/$folder/Docs"
  done > "$1/List2.txt"
}

# Whether the run has made its first copy.
long_run_copying() { [ -n "$(ls -AU "$1/B$long_run_folders/Docs" | head -1)" ]; }

# shorten_long_run FOLDER: the run finishes the folder it fills and the next,
# then skips the rest. (Only empty folders go, well behind the run.)
shorten_long_run() {
  local number filling=""
  for number in $(seq -f '%02g' "$long_run_folders"); do
    [ -n "$(ls -AU "$1/B$number/Docs" | head -1)" ] && { filling=$((10#$number)); break; }
  done
  [ -n "$filling" ] || return 0
  for number in $(seq -f '%02g' 1 $((filling - 2))); do
    rmdir "$1/B$number/Docs" 2>/dev/null
  done
  return 0
}

# long_run_complete FOLDER: every List 2 folder still there holds every file.
long_run_complete() {
  local folder count
  for folder in "$1"/B*/Docs; do
    count=$(ls -AU "$folder" | wc -l)
    [ "$count" = "$long_run_files" ] || { echo "$folder holds $count of $long_run_files files"; return 1; }
  done
}
