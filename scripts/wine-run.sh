#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, quietly and without any dialog.
# The Wine prefix lives in the build tree (build/wine by default, VELMORA_WINEPREFIX to move
# it) and is made on first use, so no run depends on a user's ~/.wine.
# Usage: scripts/wine-run.sh program.exe [arguments...]
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${VELMORA_WINEPREFIX:-$repo/build/wine}"
export WINEDEBUG=-all
# Without a UTF-8 locale Wine maps non-ASCII file names through a single-byte code page.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
# No Mono or Gecko installers (they would ask to download), no menu entries in the host.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
# The 64-bit loader straight away: the wrapper in /usr/bin only adds a hint about 32-bit Wine.
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine="$(command -v wine64 || command -v wine)"
export WINELOADER="$wine"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    # Parallel tests may all find the prefix missing: one makes it, the others wait.
    exec 9>"$WINEPREFIX.lock"
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$wine" wineboot --init >/dev/null 2>&1 || true
        wineserver_bin="$(dirname "$wine")/wineserver"
        [ -x "$wineserver_bin" ] || wineserver_bin=wineserver
        "$wineserver_bin" -w || true
    fi
    flock -u 9
    exec 9>&-
fi
exec "$wine" "$@"
