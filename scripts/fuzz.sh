#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 60), seeded
# from fuzz/seeds/<name>/ (kept inputs, regression cases among them) and, where the
# target has a seed script fuzz/seeds/<name>.sh, from what that script lists.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=build-fuzz
CXX=clang++ CC=clang cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQV_FUZZ=ON -DQV_WERROR=ON -DQV_BUILD_GUI=OFF -DQV_BUILD_TESTS=OFF >/dev/null
targets=$(cd fuzz && ls *_fuzz.cpp 2>/dev/null | sed "s/_fuzz.cpp$//" || true)
[ -n "$targets" ] || { echo "no fuzz targets"; exit 0; }
cmake --build "$dir" -j "$(nproc)" --target $(for t in $targets; do echo "fuzz_$t"; done)
status=0
for t in $targets; do
  corpus="$dir/corpus/$t"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/seeds/$t" ] && seeds+=("fuzz/seeds/$t")
  if [ -x "fuzz/seeds/$t.sh" ]; then
    while IFS= read -r s; do seeds+=("$s"); done < <("fuzz/seeds/$t.sh")
  fi
  echo "== fuzz_$t for ${seconds}s"
  if ! "$dir/fuzz_$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$dir/crash-$t-" "$corpus" "${seeds[@]}" 2>"$dir/fuzz_$t.log"; then
    echo "fuzz_$t found a failure:"; tail -40 "$dir/fuzz_$t.log"; status=1
  else
    grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' "$dir/fuzz_$t.log" | tail -2
  fi
done
exit $status
