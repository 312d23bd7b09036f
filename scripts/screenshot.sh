#!/usr/bin/env bash
# Starts mlrcalc under a private Xvfb, makes a regression run as a user would (the "Regression"
# tab, inputs Length and Width, target Net Weight) and saves a screenshot of the window.
# Usage: scripts/screenshot.sh [BUILD_DIR] [OUTPUT_PNG]
set -euo pipefail
build=${1:-build}
out=${2:-docs/mlrcalc.png}
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp & xvfb=$!
trap 'kill $app $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
QT_QPA_PLATFORM=xcb "$build/app/mlrcalc" & app=$!
wid=$(timeout 20 xdotool search --sync --onlyvisible --name 'Multiple Linear Regression' | head -1)
sleep 0.5
# Tab "Regression", then the boxes (window pixels of the 700 x 500 layout: list rows 18 pixels
# high from y = 110, the input boxes at x = 110, the target and weight boxes 51 and 102 further
# right).
xdotool mousemove --window "$wid" 98 46 click 1; sleep 0.3
click_box() { xdotool mousemove --window "$wid" "$1" "$2" click 1; sleep 0.3; }
row_y() { echo $((110 + 18 * ($1 - 1))); }
input_x=110; target_x=161
click_box "$input_x" "$(row_y 3)"
click_box "$input_x" "$(row_y 4)"
click_box "$target_x" "$(row_y 6)"
sleep 0.5
mkdir -p "$(dirname "$out")"
import -window root -crop 700x500+0+0 "$out"
echo "$out"
