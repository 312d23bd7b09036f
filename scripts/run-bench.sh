#!/usr/bin/env bash
# Runs every benchmark binary in the build tree, one after another.
set -euo pipefail
build=${1:-build}
shopt -s nullglob
found=0
for b in "$build"/bench/bench_*; do
  [ -x "$b" ] && [ -f "$b" ] || continue
  found=1
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done
[ $found -eq 1 ] || { echo "no benchmarks built" >&2; exit 1; }
