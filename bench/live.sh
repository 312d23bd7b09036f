#!/usr/bin/env bash
# The live-window figures side by side in one run: the role click to its first paint (the fit's
# part: both charts and the report; "Painted") and to the complete fit (repeated and first after
# a load) against the run alone, at 100,000 and 1,000,000 objects (bench_mainfrm), and the
# four diagnostic charts filled at 100,000 objects against the fit chart's fill and the smoother
# alone (bench_diagnostics). Each benchmark repeats single measurements; this prints, per
# benchmark, the median and the slowest wall time and the median process CPU time, and the ratio
# of each median to its baseline's median in the same run.
#   bench/live.sh [BUILD_DIR] [extra benchmark flags, e.g. --benchmark_filter=RoleClick]
set -euo pipefail
build=${1:-build}
shift || true
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
for b in bench_mainfrm bench_diagnostics; do
  [ -x "$build/bench/$b" ] || { echo "$build/bench/$b is not built" >&2; exit 1; }
  "$build/bench/$b" --benchmark_out="$dir/$b.json" --benchmark_out_format=json "$@" >/dev/null 2>&1 || true
done
python3 - "$dir"/*.json <<'PY'
import json, statistics, sys
baseline = {"BM_RoleClick": "BM_RunAlone", "BM_FirstRoleClick": "BM_RunAlone",
            "BM_RoleClickPainted": "BM_RunAlone", "BM_FirstRoleClickPainted": "BM_RunAlone",
            "BM_FillDiagnosticCharts": "BM_FillFitChart"}
rows = {}
for path in sys.argv[1:]:
    try:
        results = json.load(open(path))["benchmarks"]
    except (ValueError, KeyError):  # the filter left nothing of this binary
        continue
    for b in results:
        if b.get("run_type") != "iteration" or "error_occurred" in b:
            continue
        name = b["run_name"].split("/iterations")[0].replace("/real_time", "")
        rows.setdefault(name, {"wall": [], "cpu": []})
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
        rows[name]["wall"].append(b["real_time"] * scale)
        rows[name]["cpu"].append(b["cpu_time"] * scale)
def base_of(name):
    head, _, rest = name.partition("/")
    size = rest.split("/")[0]
    base = baseline.get(head)
    if not base:
        return None
    return next((n for n in rows if n.startswith(base + "/" + size)), None)
print(f"{'benchmark':34} {'runs':>4} {'median ms':>10} {'slowest ms':>11} {'CPU ms':>8} {'/baseline':>10}")
for name, r in rows.items():
    med, worst = statistics.median(r["wall"]), max(r["wall"])
    base = base_of(name)
    ratio = f"{med / statistics.median(rows[base]['wall']):10.2f}" if base else ""
    print(f"{name:34} {len(r['wall']):4} {med:10.2f} {worst:11.2f} {statistics.median(r['cpu']):8.2f} {ratio}")
PY
