#!/usr/bin/env bash
# The benchmarks' ASC file: ROWS x 21 (20 inputs and a target, 6 significant digits, a fixed
# seed), about 170 bytes a row, titled TITLE.
#   bench/gen_asc.sh FILE ROWS [TITLE]
set -euo pipefail
awk -v rows="$2" -v title="${3:-benchmark}" 'BEGIN {
  srand(7); printf "%s\n21\n%d\nFALSE FALSE FALSE FALSE\n", title, rows
  for (r = 0; r < rows; r++) {
    y = 3; line = ""
    for (c = 1; c <= 20; c++) { v = rand() * (2 ^ (c % 8)) + c; y += (c % 5 - 2) * 0.5 * v; line = line sprintf("%.6g ", v) }
    printf "%s%.6g\n", line, y + rand() - 0.5
  } }' >"$1"
