#!/usr/bin/env bash
# The running show's figures at the X server's size, with the demo package,
# full screen on a private X server:
#   - time from process start to the first presented frame;
#   - frames and CPU during the opening (0.5 to 2.5 s) and during the first
#     set, whose first movie plays from 2 s on (2.5 to 12.5 s), beside the
#     movie's own pace (25 frames a second while it plays), and the longest
#     time between two frames;
#   - the model's and the scene's load times, frames and CPU while the
#     gallery set shows its 3D scene and model (about a minute in);
#   - resident memory against the package size, each minute when
#     FX_BENCH_MINUTES is set (e.g. 10), else once;
#   - XScreenSaver's glslideshow -root afterwards on the same server over the
#     same seconds as the first set (2.5 to 12.5 s): its CPU per show-second
#     beside ours and the ratio (package xscreensaver-gl, installed here).
#   bench/show_bench.sh [BUILD_DIR]
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build}"
data="$(mktemp -d)"
trap 'rm -rf "$data"' EXIT
cp "$build/demo/xxdata.dat" "$data/"
"$top/scripts/deps.sh" xscreensaver-gl || echo "xscreensaver-gl could not be installed: no comparison" >&2
gss="$(command -v glslideshow || echo /usr/libexec/xscreensaver/glslideshow)"
export FX_BENCH_DATA="$data" FX_BENCH_VELMIRA="$build/app/velmira" FX_BENCH_MINUTES="${FX_BENCH_MINUTES:-0}"
export FX_BENCH_GLSLIDESHOW="$gss"
"$top/tests/support/xvfb-run.sh" bash -c '
  "$FX_BENCH_VELMIRA" /s --data "$FX_BENCH_DATA" &
  pid=$!
  hz=$(getconf CLK_TCK)
  ticks() { awk "{print \$14 + \$15}" /proc/$pid/stat; }
  now() { date +%s.%N; }
  pct() { awk -v a=$1 -v b=$2 -v s=$3 -v e=$4 -v hz=$hz "BEGIN {printf \"%.0f\", 100*(b-a)/hz/(e-s)}"; }
  cpu() { echo "$(pct "$@") % of one core"; }
  rss() { awk "/VmRSS/ {printf \"%.1f MB\", \$2/1024}" /proc/$pid/status; }
  pkg=$(stat -c %s "$FX_BENCH_DATA/xxdata.dat")
  sleep 0.5
  t0=$(ticks); s0=$(now)
  sleep 2
  t1=$(ticks); s1=$(now)
  sleep 10
  t2=$(ticks); s2=$(now)
  echo "screen: $(xdpyinfo | awk "/dimensions/ {print \$2}"), package $(awk -v p=$pkg "BEGIN {printf \"%.1f MB\", p/1048576}")"
  grep -E "first frame presented|opening done" "$FX_BENCH_DATA/velmira.log" | sed "s/^[^]]*] //"
  echo "CPU during the opening: $(cpu $t0 $t1 $s0 $s1)"
  grep -E "show: " "$FX_BENCH_DATA/velmira.log" | head -1 | sed "s/^[^]]*] //" |
    awk "{printf \"first set: %.1f frames a second, %.1f ms a frame (the movie paces at 25, 40 ms), longest %s ms\n\", \$2/\$5, 1000*\$5/\$2, \$8}"
  ours=$(pct $t1 $t2 $s1 $s2)
  echo "CPU during the first set: $ours % of one core per show-second"
  echo "resident memory after 12 s: $(rss) (peak $(awk "/VmHWM/ {printf \"%.1f MB\", \$2/1024}" /proc/$pid/status))"
  # The gallery set with its 3D scene and model: from the log line that
  # starts them, CPU over 20 s and the second frame-rate line after it
  # (its 10 s lie wholly inside the scene).
  for i in $(seq 1 120); do grep -q "scene and model at" "$FX_BENCH_DATA/velmira.log" && break; sleep 1; done
  grep -E "VelmiraSets::Load -> model" "$FX_BENCH_DATA/velmira.log" | sed "s/^[^]]*] //"
  t3=$(ticks); s3=$(now)
  sleep 20
  t4=$(ticks); s4=$(now)
  sed -n "/scene and model at/,\$p" "$FX_BENCH_DATA/velmira.log" | grep -E "show: " | sed -n 2p | sed "s/^[^]]*] //" |
    awk "{printf \"gallery set with scene and model: %.1f frames a second, %.1f ms a frame, longest %s ms\n\", \$2/\$5, 1000*\$5/\$2, \$8}"
  echo "CPU while the gallery set shows its scene: $(cpu $t3 $t4 $s3 $s4) per show-second"
  for m in $(seq 1 "$FX_BENCH_MINUTES"); do
    sleep 60
    echo "resident memory after $m min: $(rss) (peak $(awk "/VmHWM/ {printf \"%.1f MB\", \$2/1024}" /proc/$pid/status))"
  done
  kill -TERM $pid; wait $pid || true
  if [ "$FX_BENCH_MINUTES" -gt 0 ]; then
    echo "frame rate over the run (show: lines):"
    grep -E "show: " "$FX_BENCH_DATA/velmira.log" | sed "s/^[^]]*] //" | awk "{f+=\$2; s+=\$5} END {printf \"  %.1f frames a second over %.0f s\n\", f/s, s}"
  fi
  if [ -x "$FX_BENCH_GLSLIDESHOW" ]; then
    "$FX_BENCH_GLSLIDESHOW" -root >/dev/null 2>&1 &
    pid=$!
    sleep 2.5
    t1=$(ticks); s1=$(now)
    sleep 10
    t2=$(ticks); s2=$(now)
    kill -TERM $pid; wait $pid || true
    theirs=$(pct $t1 $t2 $s1 $s2)
    echo "glslideshow -root over the same seconds: $theirs % of one core per show-second; velmira $ours %, ratio $(awk -v a=$ours -v b=$theirs "BEGIN {if (b > 0) printf \"%.2f\", a/b; else print \"-\"}")"
  fi
'
