#!/usr/bin/env bash
# Runs one Windows program under Wine, headless, for CTest and the set-up scripts.
#
# The Wine prefix lives in the build tree (WINEPREFIX, default build/wineprefix beside this
# checkout) so that a second run reuses it. The prefix is created on first use.
#
# The program's output goes through files, not pipes (Wine's helper processes would keep a pipe
# open). A run that failed before the program ran (no output at all, or Wine lost its server) is
# started once more, and said so on stderr; every program run here prints something.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export WINEPREFIX="${WINEPREFIX:-$here/../build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine="${CORVEL_WINE:-/usr/bin/wine}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
fi

out="$(mktemp "${TMPDIR:-/tmp}/wine-exec.XXXXXX")"
err="$(mktemp "${TMPDIR:-/tmp}/wine-exec.XXXXXX")"
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2; do
  "$wine" "$@" >"$out" 2>"$err"
  status=$?
  if [ "$status" -eq 0 ] || [ "$attempt" -eq 2 ]; then
    break
  fi
  if [ ! -s "$out" ] && [ ! -s "$err" ]; then
    echo "wine-exec: '$*' exited $status without any output; starting it once more" >&2
  elif [ ! -s "$out" ] && grep -q '^wine client error' "$err"; then
    echo "wine-exec: Wine lost its server ($(head -n 1 "$err")); starting '$*' once more" >&2
  else
    break
  fi
done
cat "$out"
cat "$err" >&2
exit "$status"
