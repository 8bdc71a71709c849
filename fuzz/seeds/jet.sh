#!/usr/bin/env bash
# Seed inputs for fuzz_jet: the small Access databases of the test corpus (every
# version). libFuzzer takes folders, so they are gathered in a temporary folder, whose
# path this prints.
corpus="$(dirname "$0")/../../../shared/testdata/access"
[ -d "$corpus" ] || exit 0
dir="${TMPDIR:-/tmp}/quorvane-jet-seeds"
mkdir -p "$dir"
find "$corpus" -type f \( -iname '*.mdb' -o -iname '*.accdb' \) -size -200k -print0 |
  while IFS= read -r -d '' f; do cp -f "$f" "$dir/$(echo "$f" | md5sum | cut -c1-12)"; done
echo "$dir"
