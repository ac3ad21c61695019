#!/usr/bin/env bash
# Installs everything the project builds and tests with, on Debian 12.
# With "quickstart": only what building the Linux command-line uploader needs.
set -euo pipefail
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
quickstart_packages=(build-essential cmake ninja-build pkg-config googletest libgtest-dev nlohmann-json3-dev
  libcpp-httplib-dev)
packages=(
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev libbenchmark-dev nlohmann-json3-dev
  g++-mingw-w64-x86-64-posix wine wine64
  xvfb x11-utils imagemagick fonts-wine
  clang clang-format libclang-rt-14-dev valgrind
  libftdi1-dev libusb-1.0-0-dev
  qemu-system-x86 linux-image-amd64 busybox-static
  tshark
  nsis zip lintian dpkg-dev file help2man debootstrap debian-archive-keyring
  ola iproute2
  python3-jsonschema
  libcpp-httplib-dev chromium chromium-driver python3-selenium
)
[ "${1:-}" = quickstart ] && packages=("${quickstart_packages[@]}")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
