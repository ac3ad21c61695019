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
fi
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
