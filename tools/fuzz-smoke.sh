#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a few seconds on its seed corpus.
#   tools/fuzz-smoke.sh <fuzz-build-dir> <seconds>
# For a longer run: build-fuzz/fuzz/fuzz_<name> -max_total_time=3600 tests/fuzz/corpus/<name>
set -euo pipefail
build=${1:-build-fuzz}; secs=${2:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
passed=0; failed=0
shopt -s nullglob
for exe in "$build"/fuzz/fuzz_*; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe"); name=${name#fuzz_}
  work=$(mktemp -d)
  seeds=("$root/tests/fuzz/corpus/$name")
  [ -d "${seeds[0]}" ] || seeds=()
  if "$exe" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$work/" \
        "$work" "${seeds[@]}" >"$work/log" 2>&1; then
    echo "fuzz $name: ok"; passed=$((passed+1))
  else
    echo "fuzz $name: FAILED"; tail -40 "$work/log"; failed=$((failed+1))
  fi
  rm -rf "$work"
done
echo "fuzz targets: $passed clean, $failed failing"
[ "$failed" -eq 0 ]
