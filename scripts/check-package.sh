#!/usr/bin/env bash
# Checks the Debian package that `make package` wrote into BUILD_DIR (default build), as root on
# a Debian 12 machine: lintian finds nothing (when installed), `dpkg -i` installs it, the menu
# entry validates and names an icon that is installed, the entry's Exec line starts the window
# under a private Xvfb (found by its caption), mlrreport prints the demonstration report, and
# `dpkg --purge` removes every file again. lintian and desktop-file-validate are only used when
# present; they are no dependencies of the project.
set -euo pipefail
build=${1:-build}
deb=$(ls "$build"/mlr-workbench_*.deb | tail -1)
pkg=mlr-workbench
fail() { echo "FAILED: $*"; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "dpkg -i needs root"

if command -v lintian >/dev/null; then
  out=$(lintian --pedantic "$deb" 2>&1 | grep -v '^running with root' || true)
  [ -z "$out" ] || fail "lintian: $out"
  echo "lintian: clean"
fi

dpkg -i "$deb" >/dev/null
files=$(dpkg -L "$pkg" | while read -r f; do if [ -f "$f" ]; then echo "$f"; fi; done)
desktop=/usr/share/applications/mlrcalc.desktop
[ -f "$desktop" ] || fail "no menu entry"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "menu entry does not validate"
fi
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "icon $icon is not installed"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
command -v "${exec_line%% *}" >/dev/null || fail "Exec $exec_line is not on the PATH"

# Started as a menu would start it: the Exec line, from the home directory, without the tree.
display=:$((150 + $$ % 50))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
app=
trap 'kill $app $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 100); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
(cd ~ && DISPLAY=$display QT_QPA_PLATFORM=xcb exec $exec_line 2>/dev/null) & app=$!
DISPLAY=$display timeout 20 xdotool search --sync --onlyvisible --name '^Multiple Linear Regression$' >/dev/null ||
  fail "the menu entry started no window"
echo "menu entry: the window opened"
kill $app; wait $app 2>/dev/null || true; app=

report=$(mlrreport --inputs 3,4 --target 6)
[ -n "$report" ] || fail "mlrreport printed nothing"

dpkg --purge "$pkg" >/dev/null
left=$(for f in $files; do if [ -e "$f" ]; then echo "$f"; fi; done)
[ -z "$left" ] || fail "left after removal: $left"
if dpkg-query -W "$pkg" >/dev/null 2>&1; then fail "still registered"; fi
echo "install, start and removal: OK ($(echo "$files" | wc -l) files)"
