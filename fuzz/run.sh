#!/usr/bin/env bash
# Runs every fuzzer built in OUTDIR for FUZZ_SECONDS (default 30) each, starting from the
# seeds in fuzz/corpus/NAME/ and keeping what it finds new in OUTDIR/corpus/NAME/ (outside the
# tree). Prints each fuzzer's execution count; fails on the first crash, hang, leak or memory
# limit, leaving the input that caused it in OUTDIR/ (crash-*, timeout-*, oom-*, leak-*).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build-fuzz}"
seconds="${FUZZ_SECONDS:-30}"
status=0
for bin in "$out"/fuzz_*; do
  [ -x "$bin" ] || continue
  name="$(basename "$bin")"
  corpus="$out/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "$root/fuzz/corpus/$name" ] && seeds=("$root/fuzz/corpus/$name")
  log="$out/$name.log"
  # Inputs up to 64 KiB; a single allocation above 64 MiB or 1.5 GiB in all is a finding
  # (the sanitizers' own overhead included), as is an input that takes more than 5 s.
  if (cd "$out" && ASAN_OPTIONS="detect_leaks=1:${ASAN_OPTIONS:-}" "$bin" "$corpus" "${seeds[@]}" \
        -max_total_time="$seconds" -max_len=65536 -timeout=5 -malloc_limit_mb=64 -rss_limit_mb=1536 \
        -print_final_stats=1 >"$log" 2>&1); then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    echo "$name: $runs executions in ${seconds} s, no finding"
  else
    echo "$name: FAILED, see $log"
    tail -40 "$log"
    status=1
  fi
done
exit $status
