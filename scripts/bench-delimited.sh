#!/usr/bin/env bash
# Side by side on the same 1,000,000 x 21 CSV (about 160 MB, written by gen_bench_csv):
#  - mlrreport end to end (read, regression of y on x1..x20, report values);
#  - data.table's fread alone on two threads, timed inside R (R's start not counted);
#  - mlrreport on the same data as an ASC file, the baseline of the existing reader.
# RUNS rounds (default 5), the three taken in turn in each round so that a shared machine's
# load falls on all alike; prints each time, then the median and the slowest of each. R and
# data.table are peers installed only to measure; without them their line says so.
# Usage: scripts/bench-delimited.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
runs="${RUNS:-5}"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
csv="$dir/bench.csv"
asc="$dir/bench.asc"
"$build/bench/gen_bench_csv" "$csv" 1000000
# The ASC file of the same data: the four header lines, the names, the rows with blanks.
{ printf 'benchmark\n21\n1000000\nFALSE TRUE FALSE FALSE\n'; tr ',' ' ' <"$csv"; } >"$asc"
inputs="x1,x2,x3,x4,x5,x6,x7,x8,x9,x10,x11,x12,x13,x14,x15,x16,x17,x18,x19,x20"
have_r=0
if command -v Rscript >/dev/null && Rscript -e 'library(data.table)' >/dev/null 2>&1; then have_r=1; fi

seconds() {  # runs a command, prints its wall time in seconds
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
declare -a t_csv t_asc t_fread
for ((i = 0; i < runs; i++)); do
  t_csv+=("$(seconds "$build/tools/mlrreport" "$csv" --inputs "$inputs" --target y --values)")
  if [ $have_r -eq 1 ]; then
    t_fread+=("$(Rscript -e "suppressMessages(library(data.table)); setDTthreads(2);
      cat(system.time(fread('$csv', nThread = 2))[['elapsed']])")")
  fi
  t_asc+=("$(seconds "$build/tools/mlrreport" "$asc" --inputs "$inputs" --target y --values)")
done
# shellcheck source=bench-summary.sh
source "$root/scripts/bench-summary.sh"
echo "1,000,000 x 21 CSV of $(stat -c %s "$csv") bytes, $runs rounds, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
summary "mlrreport CSV end to end" "${t_csv[@]}"
if [ $have_r -eq 1 ]; then summary "fread (2 threads) alone" "${t_fread[@]}"; else echo "fread: R or data.table not installed, skipped"; fi
summary "mlrreport ASC end to end" "${t_asc[@]}"
