#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and runs every test of Kanasift:
#   native core tests (GCC), the same under AddressSanitizer/UBSan and ThreadSanitizer,
#   fuzz targets (short runs), and the Windows builds (32- and 64-bit) under Wine with
#   their unit, cross-process, hook and end-to-end tests.
# Usage: scripts/test.sh [preset...]   (default: every preset)
#
# Every preset is built. On a machine that cannot execute 32-bit programs the tests of the
# win32 preset (and the 32-bit cases of win64) are reported as skipped, with the reason;
# the summary at the end says per preset what passed, failed and was skipped. The command
# exits 0 when everything that could run here passed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

"$root/scripts/setup.sh"

presets=("$@")
if [ ${#presets[@]} -eq 0 ]; then
  presets=(linux linux-asan linux-tsan win32 win64)
fi

jobs=$(nproc)
results=()
broken=()
for p in "${presets[@]}"; do
  echo "=== $p: configure and build"
  start=$(date +%s)
  if ! { cmake --preset "$p" >/dev/null && cmake --build --preset "$p" -j "$jobs"; }; then
    broken+=("$p")
    echo "=== $p: BUILD FAILED"
    continue
  fi
  echo "=== $p: test"
  junit="$root/build/$p/ctest-results.xml"
  rm -f "$junit"
  ctest --preset "$p" -j "$jobs" --timeout 900 --output-junit "$junit" || true
  results+=("$p" "$junit" "$(( $(date +%s) - start ))")
  echo "=== $p: $(( $(date +%s) - start )) s"
done

echo
echo "=== Summary"
status=0
if [ -f "$root/build/_wine/run32" ]; then
  if grep -qx 'run32=1' "$root/build/_wine/run32"; then
    echo "This machine runs 32-bit programs."
  else
    echo "This machine cannot run 32-bit programs: $(sed -n 's/^reason=//p' "$root/build/_wine/run32")"
  fi
fi
if [ ${#results[@]} -gt 0 ]; then
  python3 "$root/scripts/ctest_summary.py" "${results[@]}" || status=1
fi
for p in "${broken[@]}"; do
  echo "$p: the build failed, no test ran"
  status=1
done
if [ "$status" -eq 0 ]; then
  echo "Everything that could run here passed: ${presets[*]}"
else
  echo "FAILED"
fi
exit "$status"
