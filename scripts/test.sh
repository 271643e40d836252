#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and runs every test of Kanasift:
#   native core tests (GCC), the same under AddressSanitizer/UBSan and ThreadSanitizer,
#   fuzz targets (short runs), and the Windows builds (32- and 64-bit) under Wine with
#   their unit, cross-process, hook and end-to-end tests.
# Usage: scripts/test.sh [preset...]   (default: every preset)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

"$root/scripts/setup.sh"

presets=("$@")
if [ ${#presets[@]} -eq 0 ]; then
  presets=(linux linux-asan linux-tsan win32 win64)
fi

jobs=$(nproc)
failed=()
for p in "${presets[@]}"; do
  echo "=== $p: configure and build"
  start=$(date +%s)
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p" -j "$jobs"
  echo "=== $p: test"
  if ! ctest --preset "$p" -j "$jobs" --timeout 900; then
    failed+=("$p")
  fi
  echo "=== $p: $(( $(date +%s) - start )) s"
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All tests passed: ${presets[*]}"
