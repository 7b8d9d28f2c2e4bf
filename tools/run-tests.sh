#!/usr/bin/env bash
# Runs every CTest test of a build under an Xvfb server (widget tests stay offscreen,
# end-to-end tests labelled "xvfb" use the server), then every fuzz target for a few
# seconds, and ends with one summary line for both.
#   tools/run-tests.sh <build-dir> <fuzz-build-dir> [ctest arguments...]
set -uo pipefail
build=${1:-build}; fuzzbuild=${2:-build-fuzz}; shift 2 || true
root=$(cd "$(dirname "$0")/.." && pwd)
log=$(mktemp)
(cd "$build" && xvfb-run -a -s "-screen 0 1280x1024x24 -ac" \
    ctest --output-on-failure -j "$(nproc)" "$@") 2>&1 | tee "$log"
ctest_rc=${PIPESTATUS[0]}
total=$(sed -n 's/.* tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -1)
failed=$(sed -n 's/.*, \([0-9]*\) tests failed out of.*/\1/p' "$log" | tail -1)
total=${total:-0}; failed=${failed:-0}
passed=$((total - failed))

fuzz_rc=0
if [ -d "$fuzzbuild/fuzz" ]; then
  "$root/tools/fuzz-smoke.sh" "$fuzzbuild" 5 | tee "$log"
  fuzz_rc=${PIPESTATUS[0]}
  fp=$(sed -n 's/^fuzz targets: \([0-9]*\) clean, \([0-9]*\) failing$/\1/p' "$log")
  ff=$(sed -n 's/^fuzz targets: \([0-9]*\) clean, \([0-9]*\) failing$/\2/p' "$log")
  passed=$((passed + ${fp:-0})); failed=$((failed + ${ff:-0}))
fi
rm -f "$log"
echo "velmora: $passed passed, $failed failed"
[ "$ctest_rc" -eq 0 ] && [ "$fuzz_rc" -eq 0 ] && [ "$total" -gt 0 ]
