#!/usr/bin/env bash
# Spotter's figures: filtering 100,000 names and listing a tree of 100,000 real files
# under Wine (win64 build), and filtering 1,000,000 names natively (linux build).
#
#   bench/spotter/run.sh [win64-build-dir] [linux-build-dir]
#
# The tree is made once in the Wine prefix's drive C (C:\bench100k) by
# tests/spotter/japanese_tree.py and kept for later runs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
win=${1:-$root/build/win64}
native=${2:-$root/build/linux}

"$root/scripts/wine-env.sh" up "$win"
prefix=$("$root/scripts/wine-env.sh" env "$win" | sed -n 's/^export WINEPREFIX=//p')
tree="$prefix/drive_c/bench100k"
if [ ! -f "$tree/.complete" ]; then
  rm -rf "$tree"
  python3 "$root/tests/spotter/japanese_tree.py" "$tree" 100000 --levels 5
  touch "$tree/.complete"
fi
"$root/scripts/wine-env.sh" run "$win" "$win/bench/spotter/spotter_bench.exe" filter 100000
"$root/scripts/wine-env.sh" run "$win" "$win/bench/spotter/spotter_bench.exe" list 'C:\bench100k'
if [ -x "$native/bench/spotter/spotter_bench" ]; then
  "$native/bench/spotter/spotter_bench" filter 1000000
fi
