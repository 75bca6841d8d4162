#!/usr/bin/env bash
# Runs a Windows program under wine64 in the project's own prefix (outside the
# source tree; about 700 MB, so made once and reused). The prefix and a
# persistent wineserver are started under a lock before the program runs, with
# every inherited descriptor closed: wine's helper processes outlive the
# program, and any pipe or file they kept open would make ctest wait for them.
set -euo pipefail
export WINEPREFIX="${NORV_WINEPREFIX:-$HOME/.cache/vek-norv/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver
mkdir -p "$(dirname "$WINEPREFIX")"

start_wine() {
  local fd
  for fd in /proc/self/fd/*; do
    fd="${fd##*/}"
    if [ "$fd" -gt 2 ] && [ "$fd" != 9 ]; then eval "exec $fd>&-" 2>/dev/null || true; fi
  done
  exec </dev/null >/dev/null 2>&1
  flock 9
  # wineserver -p exits 0 only when it started a new server. wineboot then
  # starts wine's services here; started by a test instead, they would
  # inherit its output pipe and keep it open.
  if "$server" -p 9>&- || [ ! -f "$WINEPREFIX/.norv-ready" ]; then
    "$wine" wineboot --init 9>&- && touch "$WINEPREFIX/.norv-ready"
  fi
}
( start_wine ) 9>"$WINEPREFIX.lock"
exec "$wine" "$@"
