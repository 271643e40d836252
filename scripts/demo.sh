#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the 64-bit Windows program (64-bit Explorer is
# what users run) and runs the demo under Wine: Kanasift with its default dictionary beside
# an Explorer window of Japanese names, romaji typed with real keys, screenshots in
# build/demo/. Needs no 32-bit support from the machine.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

"$root/scripts/setup.sh"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)" --target Kanasift Tapline viewhost viewprobe KanasiftProbe dist_dict
build="$root/build/win64"
demo="$root/build/demo"
rm -rf "$demo" && mkdir -p "$demo"
"$root/scripts/wine-env.sh" up "$build"
trap '"$root/scripts/wine-env.sh" down "$build" >/dev/null 2>&1 || true' EXIT
python3 "$root/scripts/demo.py" "$build" "$demo"
echo "Screenshots: $demo"
