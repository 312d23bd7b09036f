#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the screenshots need, but only those
# that are missing, so that a second call costs well under a second.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-svg-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libboost-math-dev libfast-float-dev
  liborcus-dev libexpat1-dev libreadstat-dev libxlsxwriter-dev
  xvfb xauth x11-utils xdotool x11-apps imagemagick
  fonts-liberation fonts-dejavu-core
  clang-14 libclang-rt-14-dev cppcheck ccache
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
