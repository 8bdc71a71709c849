#!/usr/bin/env bash
# Sets up, builds and runs every test: a normal build, then the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
jobs=$(nproc)
status=0
for config in release asan; do
  dir="build-test-$config"
  extra=()
  [ "$config" = asan ] && extra=(-DQV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
  [ "$config" = release ] && extra=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
  echo "== $config build"
  cmake -S . -B "$dir" -G Ninja "${extra[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "== $config tests"
  skip=()
  # The corpus-wide comparisons with the external readers spend their time in those
  # readers; the release pass runs them, the sanitizer pass runs everything else.
  [ "$config" = asan ] && skip=(-E 'JetWrite\.EveryTypeInEveryNewFormat|JetWrite\.TableAddedToAccessDatabases|JetCorpus\.EveryDatabaseReadsLike')
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 1800 "${skip[@]}") || status=1
done
echo "== fuzzing"
./scripts/fuzz.sh "${QV_FUZZ_SECONDS:-60}" || status=1
exit $status
