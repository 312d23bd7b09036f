#!/usr/bin/env bash
# Saving side by side on the same 1,000,000 x 20 table (x1..x20 of the benchmark CSV written by
# gen_bench_csv, values of 6 significant digits):
#  - our atomic save (time_save: write, fsync, rename) as CSV and as ASC, the table read once
#    beforehand and not timed;
#  - data.table's fwrite on two threads, timed inside R (reading not counted), alone and
#    followed by a sync of the file, which our save always does.
# RUNS rounds (default 5), the tools taken in turn in each round so that a shared machine's
# load falls on all alike; prints each time, then the median and the slowest of each. R and
# data.table are peers installed only to measure; without them their lines say so.
# Usage: scripts/bench-save.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
runs="${RUNS:-5}"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
"$build/bench/gen_bench_csv" "$dir/full.csv" 1000000
cut -d, -f2-21 "$dir/full.csv" >"$dir/bench.csv"
rm "$dir/full.csv"
have_r=0
if command -v Rscript >/dev/null && Rscript -e 'library(data.table)' >/dev/null 2>&1; then have_r=1; fi

declare -a t_csv t_asc t_fwrite t_fwrite_sync
for ((i = 0; i < runs; i++)); do
  out=$("$build/bench/time_save" "$dir/bench.csv" "$dir/ours")
  t_csv+=("$(echo "$out" | awk '$1 == "csv" { print $2 }')")
  t_asc+=("$(echo "$out" | awk '$1 == "asc" { print $2 }')")
  rm -f "$dir/ours.csv" "$dir/ours.asc"
  if [ $have_r -eq 1 ]; then
    out=$(Rscript -e "suppressMessages(library(data.table)); setDTthreads(2);
      dt <- fread('$dir/bench.csv', nThread = 2)
      a <- system.time(fwrite(dt, '$dir/fw1.csv', nThread = 2))[['elapsed']]
      b <- system.time({ fwrite(dt, '$dir/fw2.csv', nThread = 2); system('sync $dir/fw2.csv') })[['elapsed']]
      cat('fwrite', a, '\nsync', b, '\n')")
    t_fwrite+=("$(echo "$out" | awk '$1 == "fwrite" { print $2 }')")
    t_fwrite_sync+=("$(echo "$out" | awk '$1 == "sync" { print $2 }')")
    rm -f "$dir/fw1.csv" "$dir/fw2.csv"
  fi
done
# shellcheck source=bench-summary.sh
source "$root/scripts/bench-summary.sh"
echo "1,000,000 x 20 table, CSV of $(stat -c %s "$dir/bench.csv") bytes, $runs rounds, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
summary "save as CSV (write, sync, rename)" "${t_csv[@]}"
summary "save as ASC (write, sync, rename)" "${t_asc[@]}"
if [ $have_r -eq 1 ]; then
  summary "fwrite (2 threads)" "${t_fwrite[@]}"
  summary "fwrite (2 threads), then sync" "${t_fwrite_sync[@]}"
else
  echo "fwrite: R or data.table not installed, skipped"
fi
