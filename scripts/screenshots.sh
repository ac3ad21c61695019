#!/usr/bin/env bash
# Takes a picture of each Windows program's window, as it looks when started,
# under Wine on a private Xvfb display: docs/screenshots/<program>.png.
#
#   scripts/screenshots.sh [BUILD_DIR]    (default: build/windows, built first)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows}
out=docs/screenshots
session=$(mktemp -d "${TMPDIR:-/tmp}/screenshots.XXXXXX")
trap 'scripts/wine-session.sh stop "$session"; rm -rf "$session"' EXIT

declare -A titles=(
  [uploader-v1.2]="Tavik Firmware uploader ver.1.2."
  [uploader-v1.1]="Tavik Firmware uploader ver.1.1."
  [uploader-early]="Tavik Firmware uploader"
)

mkdir -p "$out"
scripts/wine-session.sh start "$session"
for program in uploader-v1.2 uploader-v1.1 uploader-early; do
  exe="$build/ui/$program.exe"
  [ -f "$exe" ] || { echo "screenshots: $exe not built" >&2; exit 1; }
  scripts/wine-session.sh run "$session" bash -c '
    set -euo pipefail
    exe=$1 title=$2 png=$3
    wine "$exe" >/dev/null 2>&1 &
    program=$!
    id=""
    for _ in $(seq 200); do
      id=$(xwininfo -root -tree | grep -F "\"$title\": (" | awk "{print \$1}" | head -n 1 || true)
      [ -n "$id" ] && break
      sleep 0.1
    done
    [ -n "$id" ] || { echo "screenshots: no window \"$title\"" >&2; kill "$program"; exit 1; }
    sleep 1  # let it paint
    import -window "$id" "$png"
    kill "$program"
    wait "$program" 2>/dev/null || true
  ' _ "$exe" "${titles[$program]}" "$out/$program.png"
  echo "screenshots: $out/$program.png"
done
