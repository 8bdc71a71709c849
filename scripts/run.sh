#!/usr/bin/env bash
# Sets up, builds and starts the desktop program. Without a display it shows the
# command-line converter at work instead: the sample Paradox tables (made by the build,
# next to the programs) are converted into a new database, which is then listed.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_BUILD_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc)"
if [ -x build/src/app/quorvane ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec build/src/app/quorvane
fi

cli=build/src/app/quorvane-cli
samples=build/src/app/Samples
out=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-demo.XXXXXX")/samples.mdb
echo
echo "No display: converting the sample Paradox tables with the command-line converter."
echo "\$ quorvane-cli convert $samples $out --create mdb"
"$cli" convert "$samples" "$out" --create mdb
echo
echo "\$ quorvane-cli tables $out"
"$cli" tables "$out"
echo
echo "\$ quorvane-cli dump-access $out CUSTOMER   (the first rows, as JSON lines)"
"$cli" dump-access "$out" CUSTOMER | grep -v '^{"field"' | cut -c1-160 | head -4 || true
echo
echo "The new database is $out. More: $cli --help"
