#!/usr/bin/env bash
# The Windows release under Wine, end to end, on a private X server:
#   tests/windows/wine_e2e.sh [DIST]     (default dist/windows-x86_64)
# In a fresh Wine prefix with the data folder in the registry value:
#   - /s captures the desktop (a plain colour) and shows the opening: the
#     desktop darkened to about 30 %, the banners in the top-left corner;
#     a key ends it, with "DestroyScene done" in the trace log;
#   - /p HWND draws inside that window (a magenta one of preview_host.c)
#     and nowhere else, and ends soon after that window is destroyed;
#   - /c and /a end at once;
#   - a registry folder without a package: the show says where it looked,
#     in the log and as white text on a black box mid-screen, instead of
#     playing, and a key still ends it;
#   - register_scrsaver installs and selects a copy that plays its own
#     package, and stores a folder when given one.
# Exits non-zero on the first failed check.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(cd "${1:-$src/dist/windows-x86_64}" && pwd)
fail() { echo "wine_e2e: FAILED: $*" >&2; exit 1; }
# shellcheck source=tests/windows/wine_session.sh
. "$src/tests/windows/wine_session.sh"

# The desktop: one colour on the root window, set again before the preview
# (Wine's start-up may leave the root black).
convert -size 1024x768 'xc:rgb(200,100,50)' "$work/desk.png"
desktop() { display -window root "$work/desk.png" || true; }  # it sets the root and says 1
desktop

mkdir -p "$work/data" "$work/empty" "$work/bare"
cp "$dist/xxdata.dat" "$work/data/"
# The program without the package beside it, where it looks last.
cp "$dist/velmira.scr" "$dist"/*.dll "$work/bare/"
x86_64-w64-mingw32-gcc -O2 -Wall -Wextra -o "$work/preview_host.exe" "$src/tests/windows/preview_host.c" -lgdi32

shot() { import -window root "$work/shot.png"; }
at() {  # x y [picture, default the last shot]: "r g b"
    convert "${3:-$work/shot.png}" -format "%[fx:int(255*p{$1,$2}.r)] %[fx:int(255*p{$1,$2}.g)] %[fx:int(255*p{$1,$2}.b)]" info:
}
pixel() { shot; at "$1" "$2"; }  # x y of the screen: "r g b"
near() {  # "r g b" r g b: within 12 of each other in every channel
    local a b i
    read -r -a a <<< "$1"
    b=("$2" "$3" "$4")
    for i in 0 1 2; do [ $((a[i] - b[i])) -le 12 ] && [ $((b[i] - a[i])) -le 12 ] || return 1; done
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

echo "wine_e2e: preview"
# The host's window is magenta at 200,150, 400x300. Wine (8) keeps a GL
# child of another process's window in an X window of its own, off the
# screen, and never composes it into the parent there: what the preview
# draws is read from that window (the one of the host's size that is not
# the host's); the screen shows whether the preview covered the desktop.
desktop
timeout 60 "$wine" "$work/preview_host.exe" "$(winpath "$dist/velmira.scr")" 200 150 400 300 10 5000 \
    >"$work/preview.txt" 2>&1 &
hpid=$!
glwin() { xwininfo -root -tree | awk '/ 400x300\+/ && !/"preview host"/ { print $1; exit }'; }
spots=("200 150" "3 3" "396 296")  # of the preview's window: middle and corners
spread() { convert "$work/preview.png" -format "%[fx:int(1000*standard_deviation)]" info:; }
drawn() {  # the preview's picture in $work/preview.png fills it and is no flat colour
    local p rgb
    for p in "${spots[@]}"; do
        rgb=$(at $p "$work/preview.png")
        ! near "$rgb" 255 0 255 && ! near "$rgb" 200 100 50 || return 1
    done
    [ "$(spread)" -ge 30 ]
}
for _ in $(seq 1 16); do  # no trace log in a preview: wait for its picture
    sleep 0.5
    id=$(glwin)
    [ -n "$id" ] && import -window "$id" "$work/preview.png" 2>/dev/null && drawn && break
done
[ -f "$work/preview.png" ] || fail "the preview has no window of its own"
for p in "${spots[@]}"; do
    rgb=$(at $p "$work/preview.png")
    echo "wine_e2e: preview at $p of its window: $rgb"
    ! near "$rgb" 255 0 255 && ! near "$rgb" 200 100 50 || fail "the preview does not fill its window at $p ($rgb)"
done
sd=$(spread)
echo "wine_e2e: preview picture's spread: $sd / 1000"
[ "$sd" -ge 30 ] || fail "the preview shows a flat colour, not its picture"
shot
rgb=$(at 400 300)
echo "wine_e2e: the screen inside the host's window: $rgb"
! near "$rgb" 200 100 50 || fail "the host's window is not on the screen ($rgb)"
for p in "100 100" "610 300" "400 460" "900 700"; do
    rgb=$(at $p)
    echo "wine_e2e: desktop beside the preview at $p: $rgb"
    near "$rgb" 200 100 50 || fail "the preview covers the desktop at $p ($rgb)"
done
status=0
wait "$hpid" || status=$?
sed 's/^/wine_e2e: /' "$work/preview.txt"
[ "$status" = 0 ] || fail "the preview did not end within 5 s of its window (preview_host status $status)"

for mode in /c /a; do
    echo "wine_e2e: $mode"
    start=$(date +%s)
    timeout 30 "$wine" "$dist/velmira.scr" $mode >/dev/null 2>&1 || fail "$mode failed"
    [ $(( $(date +%s) - start )) -le 10 ] || fail "$mode did not end at once"
done

echo "wine_e2e: a registry folder without a package"
setpath "$work/empty"
"$wine" "$work/bare/velmira.scr" /s >/dev/null 2>&1 &
pid=$!
log="$work/empty/velmira.log"
waitlog "$log" "InitScene done" 60 || fail "no start-up without a package"
grep -q "xxdata.dat" "$log" || fail "the log does not say where the package was looked for"
sleep 2
# The notice: white text on a black box mid-screen. In the middle 800x400:
# the pixels over half bright (the text), their bounds, the dark ones.
shot
convert "$work/shot.png" -crop 800x400+112+184 +repage -colorspace gray "$work/mid.png"
bright=$(convert "$work/mid.png" -threshold 50% -format "%[fx:int(mean*w*h)]" info:)
dark=$(convert "$work/mid.png" -threshold 20% -format "%[fx:int(100*(1-mean))]" info:)
echo "wine_e2e: notice: $bright bright pixels, $dark % dark"
[ "$bright" -ge 300 ] || fail "no text in the middle of the screen ($bright bright pixels)"
[ "$dark" -ge 60 ] || fail "no dark box in the middle of the screen ($dark % dark)"
IFS='x+' read -r tw th tx ty <<< "$(convert "$work/mid.png" -threshold 50% -format "%@" info:)"
cx=$((112 + tx + tw / 2)) cy=$((184 + ty + th / 2))
echo "wine_e2e: notice text ${tw}x${th} around $cx,$cy"
[ $((cx - 512)) -le 40 ] && [ $((512 - cx)) -le 40 ] && [ $((cy - 384)) -le 40 ] && [ $((384 - cy)) -le 40 ] ||
    fail "the notice is not in the middle of the screen (around $cx,$cy)"
"$work/xkey"
waitgone "$pid" 10 || fail "a key did not end the show without a package"

# register_scrsaver as a user runs it from the unpacked release: the program,
# the image library and (without a folder) the package go to the user's
# programs folder, which is selected as the screen saver; that copy plays
# with no registry folder at all. With a folder, the folder is stored.
echo "wine_e2e: register_scrsaver"
"$wine" reg delete 'HKCU\Software\fenro3d\Screensavers\Velmira' /v path /f >/dev/null 2>&1 || true
"$wine" "$dist/velmira.scr" register_scrsaver >"$work/register.txt" 2>&1 || fail "register_scrsaver failed: $(cat "$work/register.txt")"
installed=$(find "$WINEPREFIX/drive_c/users" -path '*/Programs/Velmira' -type d | head -n 1)
[ -n "$installed" ] || fail "nothing installed under the user's programs folder"
for f in velmira.scr DevIL.dll ILU.dll xxdata.dat; do
    cmp -s "$installed/$f" "$dist/$f" || fail "$f was not installed ($installed)"
done
selected=$("$wine" reg query 'HKCU\Control Panel\Desktop' /v SCRNSAVE.EXE 2>/dev/null | tr -d '\r' | grep -i 'SCRNSAVE.EXE' || true)
echo "wine_e2e: selected: ${selected##* }"
echo "$selected" | grep -qi 'velmira.scr' || fail "the installed copy is not the selected screen saver ($selected)"
"$wine" "$installed/velmira.scr" /s >/dev/null 2>&1 &
pid=$!
log="$installed/velmira.log"
waitlog "$log" "opening done" 60 || fail "the installed copy did not play its own package"
"$work/xkey"
waitgone "$pid" 10 || fail "a key did not end the installed copy"
"$wine" "$dist/velmira.scr" register_scrsaver "$(winpath "$work/data")" >/dev/null 2>&1 || fail "register_scrsaver FOLDER failed"
stored=$("$wine" reg query 'HKCU\Software\fenro3d\Screensavers\Velmira' /v path 2>/dev/null | tr -d '\r' | grep -i ' path ' || true)
echo "wine_e2e: stored data folder: ${stored##* }"
[ "${stored##* }" = "$(winpath "$work/data")" ] || fail "register_scrsaver FOLDER did not store the folder ($stored)"
echo "wine_e2e: all checks passed"
