#!/usr/bin/env bash
# Runs every benchmark of a build; each prints its own figures and ratios.
#   tools/run-bench.sh <build-dir> [name-filter]
set -euo pipefail
build=${1:-build}; filter=${2:-}
shopt -s nullglob
for exe in "$build"/bench/bench_*; do
  [ -x "$exe" ] || continue
  [[ -z "$filter" || "$(basename "$exe")" == *"$filter"* ]] || continue
  echo "== $(basename "$exe")"
  "$exe"
done
