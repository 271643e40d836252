#!/usr/bin/env bash
# Test emulator for the Windows builds: runs one program under Wine in the harness
# environment of the build directory that holds it (see wine-env.sh).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
prog=$1
dir=$(cd "$(dirname "$prog")" && pwd)
build=$dir
while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do build=$(dirname "$build"); done
[ -f "$build/CMakeCache.txt" ] || { echo "wine-run: no build directory above $prog" >&2; exit 2; }
exec "$here/wine-env.sh" run "$build" "$@"
