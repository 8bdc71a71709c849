#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy) over the sources under src/, with the compile commands of
# the build folder given (default build). Any finding fails the run (WarningsAsErrors).
set -uo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
jobs=${QV_TIDY_JOBS:-$(nproc)}
[ -f "$dir/compile_commands.json" ] || { echo "no $dir/compile_commands.json: configure $dir first" >&2; exit 2; }
# Only the files under src/: Qt's generated code lives in the build folder, and the
# generated sort tables carry NOLINT markers.
log=$(mktemp)
run-clang-tidy -quiet -j "$jobs" -p "$dir" "^$PWD/src/" >"$log" 2>&1
status=$?
# The findings, without clang-tidy's counts of what it suppressed.
grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^clang-tidy-[0-9]+ |^$' "$log"
rm -f "$log"
exit $status
