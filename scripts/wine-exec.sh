#!/usr/bin/env bash
# Runs one Windows program under Wine, headless, for CTest and the set-up scripts.
#
# The Wine prefix lives in the build tree (WINEPREFIX, default build/wineprefix beside this
# checkout) so that a second run reuses it. The prefix is created on first use.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export WINEPREFIX="${WINEPREFIX:-$here/../build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine="${CORVEL_WINE:-/usr/bin/wine}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
fi
exec "$wine" "$@"
