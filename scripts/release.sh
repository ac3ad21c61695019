#!/usr/bin/env bash
# Builds every release artifact into dist/, with a SHA256SUMS file:
#   tavik-uploader-VERSION-windows-x64-setup.exe   the Windows installer (NSIS)
#   tavik-uploader-VERSION-windows-x64.zip         the same files, portable
#   tavik-uploader_VERSION_amd64.deb               the Debian 12 package
# VERSION is the project's version, or for a checkout that is not a tagged
# release something like 1.0.0~git.8cb3b87 (see cmake/WriteVersion.cmake).
# Reuses build/linux and build/windows (the linux and windows presets) as they
# are, configuring and building only what is missing or out of date. The
# package must pass lintian without errors.
set -euo pipefail
cd "$(dirname "$0")/.."
dist=dist

build() {
  [ -f "build/$1/build.ninja" ] || cmake --preset "$1"
  cmake --build "build/$1" -j2
}

echo "== Building (linux and windows presets)"
build linux
build windows
# shellcheck disable=SC1091
. build/linux/version/version.env
version=$UPLOADER_PACKAGE_VERSION
name=tavik-uploader-$version-windows-x64
rm -rf "$dist"
mkdir -p "$dist"

echo "== Debian package"
rm -rf build/linux/packages
(cd build/linux && cpack -G DEB >cpack.log) || { cat build/linux/cpack.log; exit 1; }
deb=$(ls build/linux/packages/*.deb)
cp "$deb" "$dist/"
lintian --fail-on error --display-info "$deb"

echo "== Windows: the installed tree"
work=build/windows/release
rm -rf "$work"
mkdir -p "$work"
cmake --install build/windows --prefix "$work/$name" --strip >/dev/null
find "$work/$name" -exec touch -h -d "@$UPLOADER_SOURCE_DATE_EPOCH" {} +

echo "== Windows: portable zip"
(cd "$work" && zip -q -r -X "../../../$dist/$name.zip" "$name")

echo "== Windows: installer"
packaging/windows/file-lists.sh "$work/$name" "$work/lists"
makensis -V2 -NOCD \
  "-DVERSION_TEXT=$UPLOADER_VERSION_TEXT" \
  "-DVERSION_NUMBERS=$UPLOADER_VERSION.0" \
  "-DSTAGE=$PWD/$work/$name" \
  "-DLISTS=$PWD/$work/lists" \
  "-DOUTFILE=$PWD/$dist/$name-setup.exe" \
  packaging/windows/installer.nsi

(cd "$dist" && sha256sum -- * >SHA256SUMS)
echo "== $dist/:"
cat "$dist/SHA256SUMS"
