#!/usr/bin/env bash
# The Windows installer in a fresh Wine prefix: silent install, the installed
# window programs pass the window tests' Upload suite, the installed
# uploader-cli.exe tells the build's version, and a silent uninstall leaves
# nothing behind in the prefix's drive C (temporary folders aside).
#
#   windows_install_test.sh SETUP_EXE [WINDOWS_BUILD_DIR]   (default build/windows)
set -euo pipefail
cd "$(dirname "$0")/../.."
setup=$(realpath "$1")
build=$(realpath "${2:-build/windows}")
# shellcheck disable=SC1091
. "$build/version/version.env"
driver="$build/tests/ui/ui_driver.exe"
[ -f "$driver" ] || { echo "windows-install: $driver not built" >&2; exit 1; }

# No menu entries of the host's desktop for what the installer puts in the
# Start menu: those would live outside the prefix.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
session=$(mktemp -d "${TMPDIR:-/tmp}/windows-install.XXXXXX")
trap 'scripts/wine-session.sh stop "$session"; rm -rf "$session"' EXIT
trap 'exit 1' INT TERM HUP  # through the EXIT trap: Xvfb and Wine stop with the test
scripts/wine-session.sh start "$session"
prefix=$(sed -n 's/^WINEPREFIX=//p' "$session/session.env")
in_session() { scripts/wine-session.sh run "$session" "$@"; }
windows_path() { echo "Z:${1//\//\\}"; }

folder='C:\Program Files\Tavik Uploader'
installed="$prefix/drive_c/Program Files/Tavik Uploader"
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tavik Uploader"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TavikUploader'
failures=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
# What drive C holds, but for the temporary folders and Wine's own windows\.
contents() {
  (cd "$prefix/drive_c" && find . -path ./windows -prune -o -print | grep -v -i '/temp\(/\|$\)' |
    LC_ALL=C sort)
}

contents >"$session/before.txt"
grep -q '^./users$' "$session/before.txt" || { echo "windows-install: drive C not listed" >&2; exit 1; }
echo "== setup.exe /S"
in_session wine "$(windows_path "$setup")" /S
for program in uploader-v1.2 uploader-v1.1 uploader-early uploader-cli; do
  check "$program.exe installed" test -f "$installed/bin/$program.exe"
done
check "licence installed" test -f "$installed/LICENSE.txt"
check "three Start-menu entries" test "$(find "$menu" -name "*.lnk" 2>/dev/null | wc -l)" -eq 3
check "registered in Add/Remove Programs" \
  bash -c "scripts/wine-session.sh run '$session' wine reg query '$key' /v QuietUninstallString |
    grep -q 'uninstall.exe\" /S'"

echo "== uploader-cli.exe --version"
version=$(in_session wine "$folder\\bin\\uploader-cli.exe" --version | tr -d '\r')
echo "$version"
check "installed uploader-cli.exe tells the build's version" \
  test "$version" = "uploader-cli $UPLOADER_VERSION_TEXT"

echo "== window tests (Upload) against the installed programs"
check "installed window programs pass the Upload suite" \
  env "UPLOADER_UI_PROGRAMS=$folder\\bin" \
  "UPLOADER_UI_DOUBLE=$(windows_path "$build/tests/ui/ftd2xx-double")" \
  scripts/wine-session.sh run "$session" wine "$driver" --gtest_filter='Upload.*'

echo "== uninstall.exe /S"
in_session wine "$folder\\uninstall.exe" /S
# The uninstaller runs from a copy of itself in the temporary folder and
# returns at once; wait for it to finish.
for _ in $(seq 120); do
  [ -e "$installed" ] || [ -e "$menu" ] || break
  sleep 0.5
done
check "installation folder removed" test ! -e "$installed"
check "Start-menu folder removed" test ! -e "$menu"
check "Add/Remove Programs entry removed" \
  bash -c "! scripts/wine-session.sh run '$session' wine reg query '$key' >/dev/null 2>&1"
contents >"$session/after.txt"
check "nothing else left behind in drive C" diff "$session/before.txt" "$session/after.txt"

echo "windows-install: $failures failed"
[ "$failures" -eq 0 ]
