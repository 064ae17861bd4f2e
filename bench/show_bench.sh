#!/usr/bin/env bash
# The running show's figures: time from process start to the first presented
# frame, frames and CPU use during the opening at the X server's size, and
# resident memory against the package size. Runs the real program full screen
# on a private X server with the demo package.
#   bench/show_bench.sh [BUILD_DIR]
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build}"
data="$(mktemp -d)"
trap 'rm -rf "$data"' EXIT
cp "$build/demo/xxdata.dat" "$data/"
export FX_BENCH_DATA="$data" FX_BENCH_VELMIRA="$build/app/velmira"
"$top/tests/support/xvfb-run.sh" bash -c '
  "$FX_BENCH_VELMIRA" /s --data "$FX_BENCH_DATA" &
  pid=$!
  hz=$(getconf CLK_TCK)
  ticks() { awk "{print \$14 + \$15}" /proc/$pid/stat; }
  sleep 0.5
  t0=$(ticks); s0=$(date +%s.%N)
  sleep 2
  t1=$(ticks); s1=$(date +%s.%N)
  rss=$(awk "/VmRSS/ {print \$2}" /proc/$pid/status)
  hwm=$(awk "/VmHWM/ {print \$2}" /proc/$pid/status)
  sleep 1
  kill -TERM $pid; wait $pid || true
  pkg=$(stat -c %s "$FX_BENCH_DATA/xxdata.dat")
  echo "screen: $(xdpyinfo | awk "/dimensions/ {print \$2}")"
  grep -E "first frame presented|opening done" "$FX_BENCH_DATA/velmira.log" | sed "s/^[^]]*] //"
  awk -v a=$t0 -v b=$t1 -v s=$s0 -v e=$s1 -v hz=$hz "BEGIN {printf \"CPU during the opening: %.0f %% of one core\n\", 100*(b-a)/hz/(e-s)}"
  awk -v r=$rss -v h=$hwm -v p=$pkg "BEGIN {printf \"resident memory: %.1f MB (peak %.1f MB) for a %.1f MB package\n\", r/1024, h/1024, p/1048576}"
'
