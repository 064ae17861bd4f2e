#!/usr/bin/env bash
# Soak: the whole show (full screen on a private 1024x768 Xvfb, the demo
# package) for an hour under the address and undefined-behaviour sanitizers,
# its clock 20 times as fast as real time (--clock-speed), then SIGTERM.
# Passes when the show ran to the end and then ended with status 0 and
# "DestroyScene done", no sanitizer reported, the show's clock ran at its
# factor, every set kind started, and resident memory stayed flat after the
# first set cycle (at most 10 % or 32 MB above it at the end; not judged when
# that cycle ends in the last third of the run).
#   scripts/reliability/soak.sh [--short] [--seconds N]
#   --short                 60 s (CI)
#   RELIABILITY_ASAN_BUILD  build folder (default build-asan/, as scripts/test.sh
#                           configures it); only the program and xprobe are built
#   SOAK_SPEED              the clock's factor (default 20)
#   SOAK_KEEP=1             keep the work folder when the soak passes
# The work folder (log, standard error, memory samples) is kept on failure.
set -euo pipefail
. "$(dirname "$0")/common.sh"
seconds=3600
interval=60
for a in "$@"; do
  case "$a" in
    --short) seconds=60 interval=5 ;;
    --seconds=*) seconds="${a#--seconds=}" ;;
    *) echo "usage: soak.sh [--short] [--seconds=N]" >&2; exit 2 ;;
  esac
done
[ "$seconds" -ge 600 ] || interval=5
speed="${SOAK_SPEED:-20}"
build="${RELIABILITY_ASAN_BUILD:-$root/build-asan}"

rel_in_xvfb "$build" address "$0" "$@"

export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
rel_start_show fxsoak "$build" "$speed"
echo "soak: ${seconds} s of real time, clock x$speed, $build/app/velmira /s on $DISPLAY, work folder $work"
samples=()
cycle_at="" cycle_rss="" died=""
elapsed=0
while [ "$elapsed" -lt "$seconds" ]; do
  sleep "$interval"
  elapsed=$(now)
  rss=$(rel_rss_mb "$pid")
  if [ -z "$rss" ]; then
    died="the show ended by itself after $elapsed s"
    break
  fi
  samples+=("$rss")
  echo "$elapsed $rss" >>"$work/rss.txt"
  if [ -z "$cycle_at" ] && [ -f "$log" ] && [ -z "$(rel_missing_kinds "$log")" ]; then
    cycle_at=$elapsed cycle_rss=$rss
  fi
done
real=$(now)

# The end: SIGTERM, as the daemon ends a hack.
rel_stop_show 30 "$died"

faults=()
[ -n "$died" ] && faults+=("$died (status $status)")
[ -z "$died" ] && [ "$status" -ne 0 ] && faults+=("exit status $status after SIGTERM (ended in $stop_took)")
[ ! -f "$log" ] && faults+=("no trace log at $log")
[ -f "$log" ] && ! grep -q "DestroyScene done" "$log" && faults+=("the log does not end with DestroyScene done")
reports=$(rel_sanitized "$work/stderr" || true)
[ -n "$reports" ] && faults+=("sanitizer reports: $(wc -l <<<"$reports") lines, first: $(head -1 <<<"$reports")")

show=$(rel_show_seconds "$log" 2>/dev/null || echo 0)
frames=$(grep -oE "show: [0-9]+ frames" "$log" 2>/dev/null | awk '{ n += $2 } END { print n + 0 }')
ratio=$(awk -v s="$show" -v r="$real" 'BEGIN { printf "%.1f", (r > 0 ? s / r : 0) }')
# The log opens after the program has started: a little under the factor.
awk -v x="$ratio" -v f="$speed" 'BEGIN { exit !(x < 0.8 * f || x > 1.05 * f) }' &&
  faults+=("the show's clock ran ${ratio}x real time, not ${speed}x")

missing=$( [ -f "$log" ] && rel_missing_kinds "$log" || echo "$rel_all_kinds")
[ -n "$missing" ] && faults+=("set kinds never started: $missing")

# Memory: from the end of the first set cycle (every kind started; the
# sanitizer's quarantine and the caches have filled by then) to the end of
# the run. A cycle that ends late in the run leaves too little to judge.
n=${#samples[@]}
end_rss=${samples[$((n - 1))]:-0}
if [ -z "$cycle_at" ]; then
  memory="not judged: no complete set cycle"
elif [ "$cycle_at" -gt $((seconds * 2 / 3)) ]; then
  memory="not judged: the first set cycle ended at $cycle_at s, after two thirds of the run"
else
  limit=$(awk -v b="$cycle_rss" 'BEGIN { l = b * 0.10; printf "%.0f", (l > 32 ? l : 32) }')
  memory="first set cycle complete at $cycle_at s, RSS $cycle_rss MB; at the end $end_rss MB ($(awk \
    -v b="$cycle_rss" -v e="$end_rss" 'BEGIN { printf "%+.1f%%", 100 * (e - b) / b }'), limit +$limit MB)"
  [ $((end_rss - cycle_rss)) -gt "$limit" ] && faults+=("resident memory grew from $cycle_rss MB to $end_rss MB")
fi

echo "soak: ${real} s of real time, ${show} s of show time (${ratio}x), $frames frames, $(grep -c "set [0-9]* kind" "$log" 2>/dev/null || true) sets"
echo "soak: set kinds started (kind:count): $(rel_kinds "$log" | awk "{ printf \"%s:%s \", \$1, \$2 }")"
echo "soak: RSS MB every $interval s: ${samples[*]:-none}"
echo "soak: memory: $memory"
echo "soak: ended ${stop_took:+in $stop_took after SIGTERM, }status $status; sanitizer reports: $([ -n "$reports" ] && echo yes || echo none)"
if [ ${#faults[@]} -gt 0 ]; then
  for f in "${faults[@]}"; do echo "soak: FAULT: $f"; done
  echo "soak: FAIL (work folder kept: $work)"
  [ -n "$reports" ] && head -40 "$work/stderr"
  exit 1
fi
[ "${SOAK_KEEP:-0}" = 1 ] && echo "soak: work folder kept: $work" || rm -rf "$work"
echo "soak: PASS"
