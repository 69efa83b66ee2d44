#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

packages=(
  # toolchain and test frameworks
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  # libraries
  libboost-all-dev libtinyxml-dev libglfw3-dev libfreetype-dev zlib1g-dev
  libsquish-dev libconcurrentqueue-dev libepoxy-dev
  glslang-dev glslang-tools spirv-cross libspirv-cross-c-shared-dev spirv-tools
  libx11-dev libxkbcommon-dev libxkbcommon-x11-dev libxcb1-dev libxcb-xkb-dev libasound2-dev libdw-dev
  # benchmark peers only (the engine does not use them)
  libpng-dev libtbb-dev libstb-dev
  # the start-up profile of the benchmarks (bench/sitzung/startprofil.sh)
  linux-perf
  # running under a virtual display, and driving it from tests
  libgl1-mesa-dri xvfb xauth xdotool x11-utils x11-xkb-utils imagemagick
  # window managers for the tests of the window on a desktop, and a client that asks them
  openbox i3-wm fluxbox wmctrl x11-xserver-utils
  # the bold sans font shipped as the widget font
  fonts-crosextra-carlito
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
