#!/usr/bin/env bash
# Fails when a C++ file of the project is not as clang-format (.clang-format) would write it.
# Lists the files that differ; `clang-format -i FILE` mends one.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' \
  'fuzz/*.cpp' 'fuzz/*.h')
status=0
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || { echo "not formatted: $f"; status=1; }
done
exit $status
