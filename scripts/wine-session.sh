#!/usr/bin/env bash
# A private X display (Xvfb) and Wine prefix for driving the Windows programs.
#
#   wine-session.sh start STATE_DIR     start Xvfb on a free display, make a fresh prefix
#   wine-session.sh run STATE_DIR CMD…  run CMD with DISPLAY and WINEPREFIX of the session
#   wine-session.sh stop STATE_DIR      stop that prefix's Wine processes and that Xvfb
#
# The session's facts live in STATE_DIR/session.env. `stop` ends only what
# `start` began: the recorded Xvfb process and the prefix's own wineserver.
#
# With WINE_SESSION_PER_CALLER=1 the session lives in STATE_DIR/caller-PID,
# PID being the calling process: a CTest run, whose tests are its children,
# gets a session of its own, so that two runs of the same tests at once
# neither share a display nor stop each other's session. `start` also stops
# the sessions of callers that are gone (a run killed before its `stop`).
set -euo pipefail

usage() {
  echo "usage: $0 start|stop STATE_DIR | run STATE_DIR COMMAND [ARGS...]" >&2
  exit 2
}
[ $# -ge 2 ] || usage
action=$1
state_dir=$2
shift 2
per_caller=""
if [ -n "${WINE_SESSION_PER_CALLER:-}" ]; then
  per_caller=$state_dir
  state_dir="$per_caller/caller-$PPID"
fi
state="$state_dir/session.env"

export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Starts Xvfb on the first free display of :90..:99; sets display and xvfb_pid.
start_xvfb() {
  local n log
  for n in 90 91 92 93 94 95 96 97 98 99; do
    [ -e "/tmp/.X$n-lock" ] && continue
    [ -e "/tmp/.X11-unix/X$n" ] && continue
    log="$state_dir/xvfb-$n.log"
    Xvfb ":$n" -nolisten tcp -screen 0 1024x768x24 >"$log" 2>&1 &
    xvfb_pid=$!
    # Ready when the socket exists and the display's lock names our Xvfb;
    # gone when another run took the display first.
    for _ in $(seq 100); do
      if ! kill -0 "$xvfb_pid" 2>/dev/null; then break; fi
      if [ -S "/tmp/.X11-unix/X$n" ] &&
        [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$xvfb_pid" ]; then
        display=":$n"
        return 0
      fi
      sleep 0.1
    done
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  done
  echo "wine-session: no free X display in :90..:99" >&2
  return 1
}

# The recorded pid, when it is still our Xvfb.
owned_xvfb() {
  [ -n "${XVFB_PID:-}" ] || return 1
  [ -r "/proc/$XVFB_PID/cmdline" ] || return 1
  tr '\0' ' ' <"/proc/$XVFB_PID/cmdline" | grep -q "^Xvfb $DISPLAY "
}

case "$action" in
  start)
    if [ -n "$per_caller" ]; then
      for gone in "$per_caller"/caller-*; do
        [ -d "$gone" ] || continue
        kill -0 "${gone##*/caller-}" 2>/dev/null && continue
        WINE_SESSION_PER_CALLER="" "$0" stop "$gone" || true
        rm -rf "$gone"
      done
    fi
    mkdir -p "$state_dir"
    if [ -f "$state" ]; then
      echo "wine-session: $state exists; stopping that session first" >&2
      "$0" stop "$state_dir" || true
    fi
    start_xvfb
    root=$(mktemp -d "${TMPDIR:-/tmp}/wine-session.XXXXXX")
    {
      echo "DISPLAY=$display"
      echo "XVFB_PID=$xvfb_pid"
      echo "SESSION_ROOT=$root"
      echo "WINEPREFIX=$root/prefix"
    } >"$state"
    export DISPLAY="$display" WINEPREFIX="$root/prefix"
    mkdir -p "$WINEPREFIX"
    # One wineserver for the whole session, so each program starts quicker;
    # it and the prefix's services must not hold the caller's pipes open.
    wineserver -p </dev/null >/dev/null 2>&1
    wineboot -i </dev/null >"$state_dir/wineboot.log" 2>&1
    # No window manager on Xvfb: unmanaged windows keep message boxes from
    # stalling when they close; a crash must not wait on a dialog.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
      </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      </dev/null >/dev/null 2>&1
    # Wine draws the caption buttons with its Marlett font (package fonts-wine),
    # which this Wine does not find unless it sits in the prefix.
    if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
      cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
    echo "wine-session: display $DISPLAY, prefix $WINEPREFIX"
    ;;
  run)
    [ -f "$state" ] || { echo "wine-session: no session in $state_dir" >&2; exit 1; }
    [ $# -ge 1 ] || usage
    set -a
    # shellcheck disable=SC1090
    . "$state"
    set +a
    # Through a file, not straight to the caller: a Wine process that outlives
    # the command must not keep the caller waiting for the end of its output.
    out=$(mktemp "$state_dir/run.XXXXXX")
    status=0
    "$@" </dev/null >"$out" 2>&1 || status=$?
    cat "$out"
    rm -f "$out"
    exit "$status"
    ;;
  stop)
    [ -f "$state" ] || exit 0
    set -a
    # shellcheck disable=SC1090
    . "$state"
    set +a
    WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
    WINEPREFIX="$WINEPREFIX" wineserver -w 2>/dev/null || true
    if owned_xvfb; then
      kill "$XVFB_PID" 2>/dev/null || true
      for _ in $(seq 50); do kill -0 "$XVFB_PID" 2>/dev/null || break; sleep 0.1; done
    fi
    case "$SESSION_ROOT" in
      */wine-session.*) rm -rf "$SESSION_ROOT" ;;
    esac
    rm -f "$state"
    if [ -n "$per_caller" ]; then rm -rf "$state_dir"; fi
    ;;
  *) usage ;;
esac
