#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the 32-bit Windows program and runs the demo
# under Wine: Kanasift with its default dictionary beside a stand-in Explorer window of
# Japanese names, romaji typed with real keys, screenshots in build/demo/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

"$root/scripts/setup.sh"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)" --target Kanasift Tapline viewhost viewprobe KanasiftProbe dist_dict
build="$root/build/win32"
demo="$root/build/demo"
rm -rf "$demo" && mkdir -p "$demo"
"$root/scripts/wine-env.sh" up "$build"
trap '"$root/scripts/wine-env.sh" down "$build" >/dev/null 2>&1 || true' EXIT
python3 "$root/scripts/demo.py" "$build" "$demo"
echo "Screenshots: $demo"
