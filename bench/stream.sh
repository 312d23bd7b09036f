#!/usr/bin/env bash
# mlrreport --stream, the fit of a file larger than memory, measured two ways in one session:
# 1. speed per row against the run on the table, on a cached 1,000,000 x 21 ASC file (five runs
#    each, median and slowest);
# 2. a ROWS x 21 ASC file (20,000,000 rows by default, about 3.4 GB) with --stream alone: its
#    time and peak memory (maximum resident set size).
#   bench/stream.sh [BUILD_DIR] [ROWS]
# The files (20 inputs and a target, 6 significant digits) are generated in a temporary folder
# and deleted afterwards. When the disk has too little space for the large file, a smaller one
# is used and the script says so.
set -euo pipefail
build=${1:-build}
rows=${2:-20000000}
tool=$(realpath "$build/tools/mlrreport")
command -v hyperfine >/dev/null || { echo "hyperfine is not installed" >&2; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# About 170 bytes per row; keep 2 GB free besides.
avail_kb=$(df -Pk "$dir" | awk 'NR == 2 { print $4 }')
need_kb=$(( rows * 170 / 1024 + 2 * 1024 * 1024 ))
if (( avail_kb < need_kb )); then
  fit=$(( (avail_kb - 2 * 1024 * 1024) * 1024 / 170 ))
  echo "note: only $((avail_kb / 1024)) MiB free on the temporary disk: $fit rows instead of $rows" >&2
  rows=$fit
fi

generate() {  # generate FILE ROWS
  bash "$(dirname "$0")/gen_asc.sh" "$1" "$2" "stream benchmark"
}

inputs=$(seq -s, 1 20)
small=$dir/small.asc
generate "$small" 1000000
run="$tool $small --inputs $inputs --target 21 --extended"
hyperfine -N -w 1 -r 5 --export-json "$dir/times.json" -n "table" "$run" -n "stream" "$run --stream" >/dev/null
cmp <($run) <($run --stream) && echo "1,000,000 rows: --stream prints the report of the run on the table"
python3 - "$dir/times.json" <<'PY'
import json, statistics, sys
res = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
med = {k: statistics.median(r["times"]) for k, r in res.items()}
for k, r in res.items():
    print(f"{k:7s} 1,000,000 rows: median {med[k]:.3f} s, slowest {max(r['times']):.3f} s")
print(f"speed per row of --stream / table: {med['table'] / med['stream']:.2f} (goal: at least 0.5)")
PY
rm -f "$small"

big=$dir/big.asc
generate "$big" "$rows"
echo "$rows rows: $(du -h "$big" | cut -f1) on disk"
cat "$big" >/dev/null  # cached, as for the speed goal
/usr/bin/time -f "%e s elapsed, %M KiB peak resident" "$tool" "$big" --inputs "$inputs" --target 21 --extended --stream \
  >"$dir/report.txt" 2>"$dir/time.txt"
head -3 "$dir/report.txt"
echo "--stream on $rows rows: $(tail -1 "$dir/time.txt") (goal: under 262144 KiB)"
