#!/usr/bin/env bash
# The Debian package in a clean Debian 12 root: it installs with its
# dependencies (libftdi1-2 among them) from the mirror, uploader-cli uploads
# the sample image the package installed to the simulated adapter, and a
# purge removes every file it brought. The root is made once with
# `debootstrap --variant=minbase bookworm` and kept as a tarball in
# CACHE_DIR; each run unpacks a fresh copy. Skips, saying why, when not root,
# without debootstrap, or when the mirror cannot be reached.
#
#   debian_install_test.sh PACKAGE.deb [LINUX_BUILD_DIR [CACHE_DIR]]
#   (defaults build/linux, build/debian-root)
set -euo pipefail
cd "$(dirname "$0")/../.."
deb=$(realpath "$1")
build=$(realpath "${2:-build/linux}")
cache=$(realpath -m "${3:-build/debian-root}")
# shellcheck disable=SC1091
. "$build/version/version.env"
mirror=${UPLOADER_DEBIAN_MIRROR:-http://deb.debian.org/debian}

skip() {
  echo "debian-install: SKIPPED: $*"
  exit 0
}
[ "$(id -u)" -eq 0 ] || skip "needs root (chroot)"
command -v debootstrap >/dev/null || skip "debootstrap is not installed"

tarball="$cache/bookworm-minbase.tar.gz"
mkdir -p "$cache"
if [ ! -f "$tarball" ]; then
  echo "== debootstrap --variant=minbase bookworm (once, kept in $tarball)"
  fresh=$(mktemp -d "$cache/debootstrap.XXXXXX")
  if ! debootstrap --variant=minbase bookworm "$fresh" "$mirror" >"$cache/debootstrap.log" 2>&1; then
    tail -5 "$cache/debootstrap.log"
    rm -rf "$fresh"
    skip "debootstrap could not make a root from $mirror (no network?)"
  fi
  tar -C "$fresh" -czf "$tarball.part" . && mv "$tarball.part" "$tarball"
  rm -rf "$fresh"
fi

root=$(mktemp -d "$cache/root.XXXXXX")
trap 'rm -rf "$root"' EXIT
tar -C "$root" -xzf "$tarball"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# A mirror may serve a snapshot whose Release files are past their date; the
# root has no /dev/pts and no use for apt's download sandbox.
cat >"$root/etc/apt/apt.conf.d/99test-root" <<'APT'
Acquire::Check-Valid-Until "false";
Dpkg::Use-Pty "false";
APT::Sandbox::User "root";
APT
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C.UTF-8 "$@"; }
installed() { in_root dpkg -s "$1" >/dev/null 2>&1; }
purged() { in_root apt-get purge -y -q "$1" >/dev/null && ! installed "$1"; }

failures=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

echo "== apt-get install ./$(basename "$deb")"
in_root apt-get update -q >"$root/update.log" 2>&1 || {
  tail -5 "$root/update.log"
  skip "apt-get update in the root failed (no network?)"
}
cp "$deb" "$root/tmp/package.deb"
check "package installs with its dependencies" \
  in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
  /tmp/package.deb
check "libftdi1-2 installed as a dependency" installed libftdi1-2
for file in /usr/bin/uploader-cli /usr/share/man/man1/uploader-cli.1.gz \
  /usr/share/bash-completion/completions/uploader-cli \
  /usr/lib/udev/rules.d/60-tavik-uploader.rules /usr/share/doc/tavik-uploader/copyright \
  /usr/share/doc/tavik-uploader/docs/operator-guide.md; do
  check "$file installed" test -f "$root$file"
done

check "package version is the build's" test "$(dpkg-deb -f "$deb" Version)" = "$UPLOADER_PACKAGE_VERSION"
check "installed uploader-cli tells the build's version" \
  test "$(in_root uploader-cli --version)" = "uploader-cli $UPLOADER_VERSION_TEXT"

sample=/usr/share/tavik-uploader/demo-fixture.bin
echo "== uploader-cli upload $sample --adapter sim --fast"
check "installed sample is the source tree's" cmp -s samples/demo-fixture.bin "$root$sample"
check "installed uploader-cli uploads the installed sample to the simulated adapter" \
  in_root sh -c "cd /root && uploader-cli upload $sample --adapter sim --fast"

echo "== apt-get purge"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }')
check "package purges" purged tavik-uploader
left=""
for file in $files; do [ -e "$root$file" ] && left="$left $file"; done
check "purge removes every file of the package${left:+ (left:$left)}" test -z "$left"

echo "debian-install: $failures failed"
[ "$failures" -eq 0 ]
