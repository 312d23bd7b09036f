#!/bin/bash
# Compares mlrreport's --values (loglik, aic, bic, beta), --influence and --predict lines with R's
# lm, influence.measures, predict(interval=), logLik, AIC and BIC on one data set, and prints
# the number of values compared and the largest relative difference. R is used for measuring
# only; without Rscript the script says so and exits with 77.
#   scripts/compare-r.sh BUILD_DIR [ASC_FILE] INPUTS TARGET
# Without ASC_FILE the demonstration data are used. INPUTS and TARGET are column names.
set -euo pipefail
command -v Rscript >/dev/null || { echo "compare-r: Rscript not found (install r-base-core to measure)"; exit 77; }
build=$1; shift
file=()
if [ $# -eq 3 ]; then file=("$1"); shift; fi
inputs=$1 target=$2
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
"$build/tools/mlrreport" "${file[@]}" --csv > "$tmp/data.csv"
"$build/tools/mlrreport" "${file[@]}" --inputs "$inputs" --target "$target" --values --influence --predict > "$tmp/ours.txt"
Rscript "$here/r/influence-reference.R" "$tmp/data.csv" "$inputs" "$target" > "$tmp/r.txt"
python3 "$here/r/compare-values.py" "$tmp/ours.txt" "$tmp/r.txt"
