#!/usr/bin/env bash
# Sets up, builds and runs every test twice, with warnings as errors: an optimised GCC build
# (Release, where GCC's -O3 analyses see the most), then a Clang build under AddressSanitizer
# and UndefinedBehaviorSanitizer; then the format and clang-tidy checks; last, the fuzz
# targets for a while.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
jobs=$(nproc)
status=0
for config in release asan; do
  dir="build-test-$config"
  compiler=(-DCMAKE_CXX_COMPILER=g++)
  extra=(-DCMAKE_BUILD_TYPE=Release)
  if [ "$config" = asan ]; then
    compiler=(-DCMAKE_CXX_COMPILER=clang++)
    extra=(-DQV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
  fi
  echo "== $config build"
  cmake -S . -B "$dir" -G Ninja -DQV_WERROR=ON "${compiler[@]}" "${extra[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "== $config tests"
  skip=()
  # The corpus-wide comparisons with the external readers spend their time in those
  # readers; the release pass runs them, the sanitizer pass runs everything else.
  [ "$config" = asan ] && skip=(-E 'JetWrite\.EveryTypeInEveryNewFormat|JetWrite\.TableAddedToAccessDatabases|JetCorpus\.EveryDatabaseReadsLike|TypedConvert\.EveryKeyedTableOfTheCorpusReadsBackExactlyInBothFormats')
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 1800 "${skip[@]}") || status=1
done
# The habits: every file as clang-format writes it, and nothing clang-tidy finds in src/
# (with the sanitizer build's compile commands, made by Clang).
echo "== format"
SECONDS=0
./scripts/check_format.sh || status=1
echo "format check: ${SECONDS} s"
echo "== tidy"
SECONDS=0
QV_TIDY_JOBS=$jobs ./scripts/check_tidy.sh build-test-asan || status=1
echo "tidy check: ${SECONDS} s"
echo "== fuzzing"
./scripts/fuzz.sh "${QV_FUZZ_SECONDS:-60}" || status=1
exit $status
