#!/usr/bin/env bash
# Starts the application (the report tool on the demonstration data stands in when mlrcalc was not built).
set -euo pipefail
build=${1:-build}
if [ -x "$build/app/mlrcalc" ]; then
  exec "$build/app/mlrcalc"
fi
exec "$build/tools/mlrreport" --inputs Length,Width --target "Net Weight" --caption
