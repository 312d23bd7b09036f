#!/usr/bin/env bash
# One-shot runs of mlrreport against R's data.table fread + lm + summary on the same ASC file,
# nine runs each in one hyperfine session: median and slowest, on one and two threads, with and
# without the huge-page hint of the bulk allocator (switched off by a preloaded madvise that
# ignores MADV_HUGEPAGE, so the tool itself is unchanged).
#   bench/oneshot.sh [BUILD_DIR] [ROWS] [BASELINE_BUILD_DIR]
# With BASELINE_BUILD_DIR each configuration also runs that build's mlrreport, named "... base"
# and timed just before the same configuration of BUILD_DIR, so old and new share one session.
# The file (ROWS x 21, 20 inputs and a target, 6 significant digits) is generated in a
# temporary folder and deleted afterwards. R is skipped with a message when absent.
set -euo pipefail
build=${1:-build}
rows=${2:-1000000}
tool=$(realpath "$build/tools/mlrreport")
base=${3:+$(realpath "$3/tools/mlrreport")}
command -v hyperfine >/dev/null || { echo "hyperfine is not installed" >&2; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
file=$dir/oneshot.asc
bash "$(dirname "$0")/gen_asc.sh" "$file" "$rows" "one-shot benchmark"
cat >"$dir/nohint.c" <<'C'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <sys/mman.h>
int madvise(void* a, size_t n, int advice)
{
  static int (*real)(void*, size_t, int);
  if (advice == MADV_HUGEPAGE)
    return 0;
  if (!real)
    real = (int (*)(void*, size_t, int))dlsym(RTLD_NEXT, "madvise");
  return real(a, n, advice);
}
C
cc -O2 -shared -fPIC -o "$dir/nohint.so" "$dir/nohint.c" -ldl
inputs=$(seq -s, 1 20)
args="$file --inputs $inputs --target 21 --extended"
cmds=()
for config in "threads1|--threads 1|" "threads2|--threads 2|" \
              "threads1-nohint|--threads 1|env LD_PRELOAD=$dir/nohint.so " \
              "threads2-nohint|--threads 2|env LD_PRELOAD=$dir/nohint.so "; do
  IFS='|' read -r name threads env <<<"$config"
  [ -n "$base" ] && cmds+=(-n "$name base" "$env$base $args $threads")
  cmds+=(-n "$name" "$env$tool $args $threads")
done
if command -v Rscript >/dev/null && Rscript -e 'library(data.table)' >/dev/null 2>&1; then
  cat >"$dir/peer.R" <<R
library(data.table)
setDTthreads(2)
d <- fread("$file", skip = 4, header = FALSE, nThread = 2)
s <- summary(lm(V21 ~ ., data = d))
invisible(capture.output(print(s)))
R
  cmds+=(-n "R fread+lm+summary" "Rscript $dir/peer.R")
else
  echo "R with data.table is not installed: the peer is left out" >&2
fi
hyperfine -N -w 1 -r 9 --export-json "$dir/times.json" "${cmds[@]}" >/dev/null
python3 - "$dir/times.json" <<'PY'
import json, statistics, sys
res = json.load(open(sys.argv[1]))["results"]
peer = next((r for r in res if r["command"].startswith("R ")), None)
print(f"{'command':22} {'median s':>9} {'slowest s':>10} {'slowest/median':>15} {'CPU user+sys s':>15} {'R/median':>9}")
for r in res:
    med, worst = statistics.median(r["times"]), max(r["times"])
    ratio = f"{statistics.median(peer['times']) / med:9.2f}" if peer else ""
    print(f"{r['command']:22} {med:9.3f} {worst:10.3f} {worst / med:15.2f} {r['user'] + r['system']:15.3f} {ratio}")
PY
