# Sourced by the Wine scripts: a work folder, a private X server and a fresh
# Wine prefix, all removed on exit, and the key-pressing helper.
# Sets: work, wine, wineserver, DISPLAY, WINEPREFIX; defines winpath.
wine=${WINE64:-/usr/lib/wine/wine64}
wineserver="$(dirname "$wine")/wineserver"
work=$(mktemp -d /tmp/velmira-wine.XXXXXX)
xpid=""
wine_session_end() {
    WINEPREFIX="$work/prefix" "$wineserver" -k 2>/dev/null || true
    [ -n "$xpid" ] && kill "$xpid" 2>/dev/null || true
    rm -rf "$work"
}
trap wine_session_end EXIT
cc -O2 -o "$work/xkey" "$(dirname "${BASH_SOURCE[0]}")/xkey.c" -lX11 -lXtst
# The server's number comes back on a pipe.
exec 3<> <(:)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
read -r -t 20 num <&3 || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$num" WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=d;winemenubuilder.exe=d"
"$wine" wineboot --init >/dev/null 2>&1 || true
"$wineserver" -w
# A Linux path as Wine's Z: drive names it.
winpath() { echo "Z:${1//\//\\}"; }
# The data folder of the registry value.
setpath() { "$wine" reg add 'HKCU\Software\fenro3d\Screensavers\Velmira' /v path /d "$(winpath "$1")" /f >/dev/null 2>&1; }
