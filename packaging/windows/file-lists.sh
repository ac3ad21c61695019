#!/bin/sh
# Writes the installer's file lists from an installed tree (cmake --install
# of the Windows build): install.nsh puts every file in place, uninstall.nsh
# removes exactly those files and then their folders, deepest first; size.nsh
# holds the size for Add/Remove Programs.
#
#   file-lists.sh STAGE OUTPUT_DIR
set -eu
[ $# -eq 2 ] || { echo "usage: $0 STAGE OUTPUT_DIR" >&2; exit 2; }
stage=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
line() { printf '%s\n' "$1"; }
windows() { printf '%s' "$1" | sed 's|^\./||; s|/|\\|g'; }

cd "$stage"
: >"$out/install.nsh"
: >"$out/uninstall.nsh"
find . -type d | LC_ALL=C sort | while read -r dir; do
  if [ "$dir" = . ]; then target="\$INSTDIR"; else target="\$INSTDIR\\$(windows "$dir")"; fi
  line "SetOutPath \"$target\"" >>"$out/install.nsh"
  find "$dir" -maxdepth 1 -type f | LC_ALL=C sort | while read -r file; do
    line "File \"$stage/${file#./}\"" >>"$out/install.nsh"
    line "Delete \"\$INSTDIR\\$(windows "$file")\"" >>"$out/uninstall.nsh"
  done
done
find . -mindepth 1 -type d | LC_ALL=C sort -r | while read -r dir; do
  line "RMDir \"\$INSTDIR\\$(windows "$dir")\"" >>"$out/uninstall.nsh"
done
echo "!define SIZE_KB $(du -sk . | cut -f1)" >"$out/size.nsh"
