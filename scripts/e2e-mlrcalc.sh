#!/usr/bin/env bash
# End-to-end test of mlrcalc as a user drives it: under a private Xvfb it finds the window by its
# caption, opens the "Regression" tab, ticks Length and Width as inputs and Net Weight as target,
# and checks the screen's pixels (marks and the reference line in the chart, yellow histogram
# bars); then it loads an ASC file through the real file dialog by typing its path.
# Exit 77 (skipped) when xvfb, xdotool or ImageMagick is missing.
set -euo pipefail
build=${1:-build}
for tool in Xvfb xdotool import convert xdpyinfo; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed"; exit 77
  fi
done
work=$(mktemp -d)
display=:$((100 + $$ % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
app=
trap 'kill $app $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
export DISPLAY=$display
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
QT_QPA_PLATFORM=xcb "$build/app/mlrcalc" 2>/dev/null & app=$!
wid=$(timeout 20 xdotool search --sync --onlyvisible --name '^Multiple Linear Regression$' | head -1)
sleep 0.5
fail() { echo "FAILED: $*"; exit 1; }
click() { xdotool mousemove --window "$wid" "$1" "$2" click 1; sleep 0.4; }
# Number of pixels of colour $2 (#RRGGBB) in the window area $1 (WxH+X+Y) of a screenshot.
count() { convert "$3" -crop "$1" +repage txt:- | grep -ci " $2" || true; }

click 98 46                       # tab "Regression"
click 110 146; click 110 164      # inputs Length and Width (the Weight column follows Target)
click 161 200                     # target Net Weight
import -window root "$work/fit.png"
marks=$(count 330x340+337+110 '#000000' "$work/fit.png")
[ "$marks" -gt 300 ] || fail "only $marks black pixels in the plot"
# The diagonal passes the upper right of the plot, where no mark of this data set lies.
line=$(count 30x40+575+150 '#000000' "$work/fit.png")
[ "$line" -gt 10 ] || fail "no reference line ($line pixels)"
empty=$(count 50x120+610+300 '#000000' "$work/fit.png")
[ "$empty" -eq 0 ] || fail "$empty black pixels below the diagonal's far end"

click 538 74                      # tab "Distribution of Residuals"
import -window root "$work/histo.png"
yellow=$(count 330x340+337+110 '#FFFF00' "$work/histo.png")
[ "$yellow" -gt 2000 ] || fail "only $yellow yellow pixels in the histogram"

# Load a two-column file through the real dialog: the list then has two rows only.
printf 'two\n2\n3\nFALSE TRUE FALSE FALSE\nAlpha Beta\n1 2\n3 4\n5 7\n' > "$work/two.asc"
shaded_before=$(count 150x18+3+137 '#DEDFE7' "$work/histo.png")
[ "$shaded_before" -gt 1000 ] || fail "list row 3 not shaded before the load ($shaded_before)"
click 60 15
timeout 10 xdotool search --sync --onlyvisible --name '^Load Data$' >/dev/null
sleep 1  # the dialog settles (it may replace its first window while it lays itself out)
dlg=$(xdotool search --onlyvisible --name '^Load Data$' | tail -1)
xdotool windowfocus --sync "$dlg"; sleep 0.3
xdotool key ctrl+a; xdotool type --delay 5 "$work/two.asc"
xdotool key Return; sleep 1
import -window root "$work/loaded.png"
shaded_after=$(count 150x18+3+137 '#DEDFE7' "$work/loaded.png")
[ "$shaded_after" -lt 10 ] || fail "list row 3 still there after loading ($shaded_after)"
yellow_after=$(count 330x340+337+110 '#FFFF00' "$work/loaded.png")
[ "$yellow_after" -eq 0 ] || fail "the histogram is still shown after loading"
echo "PASSED: marks $marks, line $line, bars $yellow, list rows after load checked"
