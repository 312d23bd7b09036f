#!/usr/bin/env bash
# Runs every fuzzer built in OUTDIR for FUZZ_SECONDS (default 30) each, JOBS (default 2) at a
# time, starting from the seeds in fuzz/corpus/NAME/ and keeping what it finds new in
# OUTDIR/corpus/NAME/ (outside the tree). Prints each fuzzer's execution count; fails when any
# fuzzer finds a crash, hang, leak or memory limit, leaving the input that caused it in OUTDIR/
# (crash-*, timeout-*, oom-*, leak-*).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build-fuzz}"
seconds="${FUZZ_SECONDS:-30}"
jobs="${JOBS:-2}"

# One fuzzer; its verdict goes to OUTDIR/NAME.result, its output to OUTDIR/NAME.log.
run_one() {
  local bin="$1" name corpus log runs
  name="$(basename "$bin")"
  corpus="$out/corpus/$name"
  mkdir -p "$corpus"
  local seeds=()
  [ -d "$root/fuzz/corpus/$name" ] && seeds=("$root/fuzz/corpus/$name")
  log="$out/$name.log"
  # Inputs up to 64 KiB; a single allocation above 64 MiB or 1.5 GiB in all is a finding
  # (the sanitizers' own overhead included), as is an input that takes more than 5 s.
  if (cd "$out" && ASAN_OPTIONS="detect_leaks=1:${ASAN_OPTIONS:-}" "$bin" "$corpus" "${seeds[@]}" \
        -max_total_time="$seconds" -max_len=65536 -timeout=5 -malloc_limit_mb=64 -rss_limit_mb=1536 \
        -print_final_stats=1 >"$log" 2>&1); then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    echo "$name: $runs executions in ${seconds} s, no finding" >"$out/$name.result"
  else
    echo "FAILED $name: see $log" >"$out/$name.result"
  fi
}

bins=()
for bin in "$out"/fuzz_*; do
  [ -x "$bin" ] && bins+=("$bin")
done
pids=()
for bin in "${bins[@]}"; do
  rm -f "$out/$(basename "$bin").result"
  run_one "$bin" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$jobs" ]; then wait "${pids[0]}"; pids=("${pids[@]:1}"); fi
done
for p in "${pids[@]}"; do wait "$p"; done

status=0
for bin in "${bins[@]}"; do
  name="$(basename "$bin")"
  result="$out/$name.result"
  if [ -f "$result" ] && ! grep -q '^FAILED' "$result"; then
    cat "$result"
  else
    echo "$name: FAILED, see $out/$name.log"
    tail -40 "$out/$name.log"
    status=1
  fi
done
exit $status
