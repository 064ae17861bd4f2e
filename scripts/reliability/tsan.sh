#!/usr/bin/env bash
# The whole show under the thread sanitizer: full screen on a private
# 1024x768 Xvfb with the demo package, its clock 20 times as fast, until
# every set kind has started and the set after the last new one has begun
# (the full set cycle), then SIGTERM, so start-up, every set, the bubbles
# and billboards, and shut-down all run with their threads.
# halt_on_error=1 with the project's suppressions (tests/support/tsan.supp).
# Passes when no report came, the show ended with status 0 and
# "DestroyScene done", and the whole cycle played.
#   scripts/reliability/tsan.sh [--short] [--limit=N]
#   --short                 60 s of real time (CI), about 1200 s of the show,
#                           however far the cycle got (reported)
#   --limit=N               the longest run in real seconds (default 1800)
#   RELIABILITY_TSAN_BUILD  build folder (default build-tsan/, as scripts/test.sh
#                           configures it); only the program and xprobe are built
#   TSAN_SPEED              the clock's factor (default 20)
set -euo pipefail
. "$(dirname "$0")/common.sh"
short=0
limit=1800
for a in "$@"; do
  case "$a" in
    --short) short=1 limit=60 ;;
    --limit=*) limit="${a#--limit=}" ;;
    *) echo "usage: tsan.sh [--short] [--limit=N]" >&2; exit 2 ;;
  esac
done
speed="${TSAN_SPEED:-20}"
build="${RELIABILITY_TSAN_BUILD:-$root/build-tsan}"

rel_in_xvfb "$build" thread "$0" "$@"

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$root/tests/support/tsan.supp"
rel_start_show fxtsan "$build" "$speed"
echo "tsan: up to $limit s, clock x$speed, $build/app/velmira /s on $DISPLAY, work folder $work"
# The set that started the last kind not yet seen: the cycle is whole once
# a set after it starts.
cycle_set="" died=""
while [ "$(now)" -lt "$limit" ]; do
  sleep 2
  if ! kill -0 "$pid" 2>/dev/null; then
    died="the show ended by itself after $(now) s"
    break
  fi
  [ -f "$log" ] || continue
  # Counted after the kinds: a set starting in between only makes the wait longer.
  if [ -z "$cycle_set" ] && [ -z "$(rel_missing_kinds "$log")" ]; then
    cycle_set=$(grep -c "set [0-9]* kind" "$log" || true)
  fi
  sets=$(grep -c "set [0-9]* kind" "$log" || true)
  if [ "$short" = 0 ] && [ -n "$cycle_set" ] && [ "$sets" -gt "$cycle_set" ]; then break; fi
done
real=$(now)

rel_stop_show 60 "$died"

faults=()
reports=$(rel_sanitized "$work/stderr" || true)
[ -n "$reports" ] && faults+=("$(grep -c "WARNING: ThreadSanitizer" "$work/stderr" || true) report(s), first: $(head -1 <<<"$reports")")
[ -n "$died" ] && faults+=("$died (status $status)")
[ -z "$died" ] && [ "$status" -ne 0 ] && faults+=("exit status $status after SIGTERM (ended in $stop_took)")
if [ -f "$log" ]; then
  grep -q "DestroyScene done" "$log" || faults+=("the log does not end with DestroyScene done")
else
  faults+=("no trace log at $log")
fi
missing=$( [ -f "$log" ] && rel_missing_kinds "$log" || echo "$rel_all_kinds")
if [ "$short" = 0 ] && { [ -n "$missing" ] || [ -z "$cycle_set" ]; }; then
  faults+=("the set cycle did not complete within $limit s (kinds never started: ${missing:-none})")
fi

show=$(rel_show_seconds "$log" 2>/dev/null || echo 0)
frames=$(grep -oE "show: [0-9]+ frames" "$log" 2>/dev/null | awk '{ n += $2 } END { print n + 0 }')
echo "tsan: ${real} s of real time, ${show} s of show time, $frames frames, $(grep -c "set [0-9]* kind" "$log" 2>/dev/null || true) sets"
echo "tsan: set kinds started (kind:count): $(rel_kinds "$log" | awk "{ printf \"%s:%s \", \$1, \$2 }")${missing:+ (never: $missing)}"
echo "tsan: ended ${stop_took:+in $stop_took after SIGTERM, }status $status; reports: $([ -n "$reports" ] && echo yes || echo none)"
if [ ${#faults[@]} -gt 0 ]; then
  for f in "${faults[@]}"; do echo "tsan: FAULT: $f"; done
  echo "tsan: FAIL (work folder kept: $work)"
  [ -n "$reports" ] && sed -n '/WARNING: ThreadSanitizer/,/^==================$/p' "$work/stderr" | head -80
  exit 1
fi
rm -rf "$work"
echo "tsan: PASS"
