#!/usr/bin/env bash
# The style checks CI runs: every C++ file as clang-format writes it, and
# clang-tidy's bug-prone, performance and cognitive-complexity checks over
# the program's code (not the tests').
#
#   scripts/check-style.sh format         fails on a file clang-format would change
#   scripts/check-style.sh tidy BUILD_DIR fails on a clang-tidy finding
#                                         (BUILD_DIR holds compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."

cpp_files() { git ls-files -- '*.cpp' '*.h'; }

case "${1:-}" in
  format)
    cpp_files | xargs clang-format --dry-run --Werror
    echo "format: every file as clang-format writes it"
    ;;
  tidy)
    build=${2:?usage: check-style.sh tidy BUILD_DIR}
    [ -f "$build/compile_commands.json" ] || { echo "no $build/compile_commands.json" >&2; exit 2; }
    # Qt's generated files (moc, rcc) are left out; GCC-only warning options
    # in the compile commands are not clang's business.
    files=$(git ls-files -- 'app/*.cpp' 'ui/*.cpp' 'tray/*.cpp' 'timer/*.cpp' 'core/*.cpp' 'sync/*.cpp' 'lists/*.cpp' 'options/*.cpp' 'platform/*.cpp')
    # shellcheck disable=SC2086
    run-clang-tidy -p "$build" -j "$(nproc)" -quiet -extra-arg=-Wno-unknown-warning-option $files
    echo "tidy: no findings"
    ;;
  *)
    echo "usage: check-style.sh format | tidy BUILD_DIR" >&2
    exit 2
    ;;
esac
