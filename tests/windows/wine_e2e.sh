#!/usr/bin/env bash
# The Windows release under Wine, end to end, on a private X server:
#   tests/windows/wine_e2e.sh [DIST]     (default dist/windows-x86_64)
# In a fresh Wine prefix with the data folder in the registry value:
#   - /s captures the desktop (a plain colour) and shows the opening: the
#     desktop darkened to about 30 %, the banners in the top-left corner;
#     a key ends it, with "DestroyScene done" in the trace log;
#   - /c and /a end at once;
#   - a registry folder without a package: the show says where it looked
#     instead of playing, and a key still ends it.
# Exits non-zero on the first failed check.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(cd "${1:-$src/dist/windows-x86_64}" && pwd)
fail() { echo "wine_e2e: FAILED: $*" >&2; exit 1; }
# shellcheck source=tests/windows/wine_session.sh
. "$src/tests/windows/wine_session.sh"

# The desktop: one colour on the root window.
convert -size 1024x768 'xc:rgb(200,100,50)' "$work/desk.png"
display -window root "$work/desk.png" || true  # it sets the root and says 1

mkdir -p "$work/data" "$work/empty"
cp "$dist/xxdata.dat" "$work/data/"

pixel() {  # x y of the screen: "r g b"
    import -window root "$work/shot.png"
    convert "$work/shot.png" -format "%[fx:int(255*p{$1,$2}.r)] %[fx:int(255*p{$1,$2}.g)] %[fx:int(255*p{$1,$2}.b)]" info:
}
waitlog() {  # file text seconds
    for _ in $(seq 1 $(($3 * 10))); do
        grep -q "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}
waitgone() {  # pid seconds
    for _ in $(seq 1 $(($2 * 10))); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}

echo "wine_e2e: full screen"
setpath "$work/data"
"$wine" "$dist/velmira.scr" /s >/dev/null 2>&1 &
pid=$!
log="$work/data/velmira.log"
waitlog "$log" "InitScene done" 60 || fail "no start-up in the trace log"
grep -q "capture: " "$log" || fail "the log does not say how the desktop was captured"
waitlog "$log" "opening done" 30 || fail "the opening did not end"
sleep 0.5
read -r r g b <<< "$(pixel 300 540)"
echo "wine_e2e: desktop under the show: $r $g $b"
[ "$r" -ge 45 ] && [ "$r" -le 80 ] && [ "$g" -le 45 ] && [ "$b" -le 30 ] || fail "desktop not darkened to about 30 % ($r $g $b)"
read -r r g b <<< "$(pixel 60 50)"
echo "wine_e2e: banner corner: $r $g $b"
[ $((r + g + b)) -gt 150 ] || fail "no banner in the top-left corner ($r $g $b)"
"$work/xkey"
waitgone "$pid" 10 || fail "a key did not end the show"
grep -q "DestroyScene done" "$log" || fail "no DestroyScene done in the trace log"

for mode in /c /a; do
    echo "wine_e2e: $mode"
    start=$(date +%s)
    timeout 30 "$wine" "$dist/velmira.scr" $mode >/dev/null 2>&1 || fail "$mode failed"
    [ $(( $(date +%s) - start )) -le 10 ] || fail "$mode did not end at once"
done

echo "wine_e2e: a registry folder without a package"
setpath "$work/empty"
"$wine" "$dist/velmira.scr" /s >/dev/null 2>&1 &
pid=$!
log="$work/empty/velmira.log"
waitlog "$log" "InitScene done" 60 || fail "no start-up without a package"
grep -q "xxdata.dat" "$log" || fail "the log does not say where the package was looked for"
sleep 2
"$work/xkey"
waitgone "$pid" 10 || fail "a key did not end the show without a package"
echo "wine_e2e: all checks passed"
