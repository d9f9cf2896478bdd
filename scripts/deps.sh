#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (Debian 12, as root).
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git python3 ccache
  libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev
  libcli11-dev nlohmann-json3-dev libsndfile1-dev
  clang libclang-rt-14-dev clang-format
  libusb-1.0-0-dev umockdev libumockdev-dev
  portaudio19-dev libasound2-dev
  qt6-base-dev libgl-dev
  xvfb xauth dbus at-spi2-core gir1.2-atspi-2.0 python3-gi
  g++-mingw-w64-x86-64-posix wine64 dpkg-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
