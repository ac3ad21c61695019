#!/usr/bin/env bash
# Installs everything the project builds and tests with, on Debian 12.
# With "quickstart": only what building the Linux command-line uploader needs.
# Then fetches SQLite's amalgamation for the Windows build (below).
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
quickstart_packages=(build-essential cmake ninja-build pkg-config googletest libgtest-dev nlohmann-json3-dev
  libsqlite3-dev libcpp-httplib-dev)
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
  libsqlite3-dev sqlite3 curl ca-certificates
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
[ "${1:-}" = quickstart ] && exit 0

# SQLite for the Windows build: the amalgamation (sqlite3.c, sqlite3.h) of
# SQLite 3.45.3 inside the npm package better-sqlite3 9.6.0, pinned by the
# package's SHA-256, unpacked into third-party/sqlite/ (not in git).
sqlite_version=3.45.3
sqlite_package=https://registry.npmjs.org/better-sqlite3/-/better-sqlite3-9.6.0.tgz
sqlite_package_sha256=7054d0a4cb1fa48cf3b241218de8bd2a3f523f6203bfeb424e7127b7efb75457
sqlite_dir=third-party/sqlite
if ! grep -qs "define SQLITE_VERSION *\"$sqlite_version\"" "$sqlite_dir/sqlite3.h" ||
  [ ! -s "$sqlite_dir/sqlite3.c" ]; then
  fetched=$(mktemp -d)
  trap 'rm -rf "$fetched"' EXIT
  curl -fsSL --retry 3 -o "$fetched/package.tgz" "$sqlite_package"
  if ! echo "$sqlite_package_sha256  $fetched/package.tgz" | sha256sum -c --status; then
    echo "error: $sqlite_package is not the pinned package (SHA-256 differs); not used" >&2
    exit 1
  fi
  tar -xzf "$fetched/package.tgz" -C "$fetched" package/deps/sqlite3/sqlite3.c \
    package/deps/sqlite3/sqlite3.h
  mkdir -p "$sqlite_dir"
  cp "$fetched/package/deps/sqlite3/sqlite3.c" "$fetched/package/deps/sqlite3/sqlite3.h" "$sqlite_dir/"
  echo "SQLite $sqlite_version amalgamation in $sqlite_dir (from $sqlite_package)"
fi
