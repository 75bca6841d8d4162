#!/usr/bin/env bash
# Runs a Windows program under wine64 in the project's own prefix (outside the
# source tree; about 700 MB, so made once and reused). The prefix and a
# persistent wineserver are started under a lock before the program runs, so
# parallel test runs neither race to create the prefix nor wait for wine's
# helper processes.
set -euo pipefail
export WINEPREFIX="${NORV_WINEPREFIX:-$HOME/.cache/vek-norv/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot --init </dev/null >/dev/null 2>&1 9>&-
  fi
  "$server" -p 9>&- </dev/null >/dev/null 2>&1 || true
) 9>"$WINEPREFIX.lock"
exec "$wine" "$@"
