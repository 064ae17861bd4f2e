#!/usr/bin/env bash
# The opening and the first set under Wine against the Linux build, on the
# same private X server in one run: frames, frame rate and CPU use.
#   bench/wine_bench.sh [LINUX_BUILD] [DIST] [SECONDS]
# (defaults: build, dist/windows-x86_64, 20). Wine's CPU includes its
# wineserver.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$top/build}" && pwd)"
dist="$(cd "${2:-$top/dist/windows-x86_64}" && pwd)"
secs="${3:-20}"
# shellcheck source=tests/windows/wine_session.sh
. "$top/tests/windows/wine_session.sh"
mkdir -p "$work/linux" "$work/wine" "$work/home"
cp "$build/demo/xxdata.dat" "$work/linux/"
cp "$dist/xxdata.dat" "$work/wine/"
setpath "$work/wine"

ticks() {  # CPU clock ticks of the processes
    local t=0 p
    for p in "$@"; do
        [ -r "/proc/$p/stat" ] && t=$((t + $(awk '{print $14 + $15}' "/proc/$p/stat")))
    done
    echo "$t"
}
hz=$(getconf CLK_TCK)
# One run: the program's figures from its log, CPU over the run.
run() {  # name log-folder command...
    local name=$1 folder=$2
    shift 2
    local server before after
    server=$(pgrep -x "$(basename "$wineserver")" || true)
    before=$(ticks $server)
    HOME="$work/home" "$@" >/dev/null 2>&1 &
    local pid=$!
    sleep "$secs"
    after=$(( $(ticks "$pid") + $(ticks $server) - before ))
    "$work/xkey"
    sleep 3
    kill "$pid" 2>/dev/null || true
    local log="$folder/velmira.log"
    printf '%-6s %-34s %-34s %s\n' "$name" \
        "$(grep -o 'first frame presented, [0-9.]* s' "$log" | head -1)" \
        "$(grep -o 'opening done: [0-9]* frames in [0-9.]* s' "$log" | head -1)" \
        "$(grep -o 'show: [0-9]* frames in [0-9.]* s' "$log" | tail -1); CPU $(awk -v t="$after" -v hz="$hz" -v s="$secs" 'BEGIN{printf "%.1f s in %d s (%.0f %% of a core)", t/hz, s, 100*t/hz/s}')"
}
run linux "$work/linux" "$build/app/velmira" /s --data "$work/linux"
run wine "$work/wine" "$wine" "$dist/velmira.scr" /s
