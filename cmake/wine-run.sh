#!/bin/sh
# Runs one Windows program under Wine in a throwaway prefix kept in the build
# tree, so tests never touch the user's own Wine setup.
# Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
prefix="$1"
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$prefix"
(
    flock 9
    if [ ! -f "$prefix/.ready" ]; then
        /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
        /usr/lib/wine/wineserver -w
        touch "$prefix/.ready"
    fi
) 9>"$prefix.lock"
exec /usr/lib/wine/wine64 "$@"
