#!/bin/sh
# Runs a Windows program under wine64 for the tests:
#   wine-run.sh WINE64 PREFIX PROGRAM [ARGS...]
# PREFIX is a Wine prefix of the build's own, made on first use (one maker at
# a time: test discovery and ctest start several programs at once). No
# display is needed: the programs run here draw nothing, and without DISPLAY
# Wine shows no dialogs.
set -eu
wine=$1
prefix=$2
shift 2
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=d;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$prefix/.fx-ready" ]; then
    mkdir -p "$prefix"
    (
        flock 9
        if [ ! -f "$prefix/.fx-ready" ]; then
            "$wine" wineboot --init >/dev/null 2>&1 || true
            "$(dirname "$wine")/wineserver" -w 2>/dev/null || true
            touch "$prefix/.fx-ready"
        fi
    ) 9>"$prefix.lock"
fi
exec "$wine" "$@"
