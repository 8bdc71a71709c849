#!/usr/bin/env bash
# Seed inputs for fuzz_jet: the small Access databases of the test corpus (every
# version), read in place.
corpus="$(dirname "$0")/../../../shared/testdata/access"
[ -d "$corpus" ] || exit 0
find "$corpus" -type f \( -iname '*.mdb' -o -iname '*.accdb' \) -size -200k | sort
