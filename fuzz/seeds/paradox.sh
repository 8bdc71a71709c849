#!/usr/bin/env bash
# Seeds for fuzz_paradox: every Paradox table of the test corpus, gathered into one
# temporary folder (printed); a table with a blob file becomes one input: the table, the
# line "--MB--" and the blob file.
set -euo pipefail
cd "$(dirname "$0")/../.."
corpus=${QV_TESTDATA_DIR:-../shared/testdata}/paradox
[ -d "$corpus" ] || exit 0
out=${TMPDIR:-/tmp}/qv-paradox-seeds
rm -rf "$out"
mkdir -p "$out"
find "$corpus" -iname '*.db' -size -2M | sort | while IFS= read -r db; do
  seed="$out/$(echo "$db" | md5sum | cut -c1-12)"
  stem=${db%.*}
  mb=""
  for ext in MB mb Mb mB; do [ -f "$stem.$ext" ] && mb="$stem.$ext" && break; done
  if [ -n "$mb" ] && [ "$(stat -c %s "$mb")" -lt 1048576 ]; then
    { cat "$db"; printf '\n--MB--\n'; cat "$mb"; } > "$seed"
  else
    cp "$db" "$seed"
  fi
done
echo "$out"
