#!/bin/sh
# Runs a Windows program under Wine in a prefix of the build's own, so that
# tests never touch ~/.wine. The prefix sits next to the program unless
# WINEPREFIX is already set.
if [ -z "$WINEPREFIX" ]; then
  dir=$(cd "$(dirname "$1")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ "$dir" = / ] && dir=$(cd "$(dirname "$1")" && pwd)
  WINEPREFIX="$dir/wineprefix"
  export WINEPREFIX
  own_prefix=1
fi
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# The first program started in the build's prefix makes it (some seconds).
# Tests start at once (ctest -j, two ctest runs of one build), and two
# programs making the same prefix together can fail: it is made once, under
# a lock, while the others wait.
if [ -n "${own_prefix:-}" ] && [ ! -f "$WINEPREFIX/.made" ] && command -v flock >/dev/null; then
  mkdir -p "$WINEPREFIX"
  flock "$WINEPREFIX/.making" sh -c \
    '[ -f "$WINEPREFIX/.made" ] || { wineboot -i </dev/null >/dev/null 2>&1 && touch "$WINEPREFIX/.made"; }'
fi
exec wine "$@"
