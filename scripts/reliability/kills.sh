#!/usr/bin/env bash
# Kills: the program (address and undefined-behaviour sanitizer build, demo
# package) started and ended at a random moment, over and over: full screen
# and preview (in a window of xprobe's), each by SIGTERM, by SIGKILL and by
# its X server killed. The kinds take turns; the moments (0 to KILLS_WINDOW
# seconds after the start: start-up, opening, show; previews, which start in
# well under a second, 0 to 2 s) come from a seed that is printed. After
# each end:
#   - it ended within the limit (SIGKILL 5 s, the others 10 s: a server lost
#     during start-up is seen at start-up's next X call, after the package has
#     loaded) with a status its kind allows (SIGTERM: 0, or 143 during
#     start-up; SIGKILL: 137; server killed: 0 or 1), no sanitizer report;
#   - no process of its session is left;
#   - the screen is free: a fresh client grabs the keyboard and the pointer
#     and no SCREENSAVER window is left (not when the server was killed);
#   - no SysV shared memory segment it made is left;
#   - no file is left in its temporary folder, home or data folder but the
#     trace log.
#   scripts/reliability/kills.sh [--short] [--cycles=N] [--seed=N]
#   --short                 12 cycles (CI), two of each kind
#   RELIABILITY_ASAN_BUILD  build folder (default build-asan/); only the program
#                           and xprobe are built
#   KILLS_WINDOW            the latest moment, in seconds (default 10)
# Exits 1 if any cycle found a fault; the work folder is kept then.
set -euo pipefail
. "$(dirname "$0")/common.sh"
cycles=100
seed=""
for a in "$@"; do
  case "$a" in
    --short) cycles=12 ;;
    --cycles=*) cycles="${a#--cycles=}" ;;
    --seed=*) seed="${a#--seed=}" ;;
    *) echo "usage: kills.sh [--short] [--cycles=N] [--seed=N]" >&2; exit 2 ;;
  esac
done
build="${RELIABILITY_ASAN_BUILD:-$root/build-asan}"
window="${KILLS_WINDOW:-10}"

rel_in_xvfb "$build" address "$0" "$@"

[ -n "$seed" ] || seed=$(( $(date +%s) % 32768 ))
RANDOM=$seed
velmira="$build/app/velmira"
xprobe="$build/tests/xprobe"
main_display="$DISPLAY"
work=$(mktemp -d /tmp/fxkills.XXXXXX)
rel_home "$work"
cd "$work"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
echo "kills: $cycles cycles, seed $seed, moments 0 to $window s (previews 0 to 2 s), $velmira on $main_display, work folder $work"

# A server of its own for the cycles that kill it: xserver_pid, xserver_display.
xserver_pid="" xserver_display=""
start_xserver() {
  local fifo="$work/xfifo" num=""
  rm -f "$fifo"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  xserver_pid=$!
  read -r -t 20 num <"$fifo" || true
  rm -f "$fifo"
  [ -n "$num" ] || { echo "kills: Xvfb did not start" >&2; exit 1; }
  xserver_display=":$num"
}

# Everything under the folders the program may write to, but Mesa's shader
# cache, which outlives a process by design.
files() {
  find "$TMPDIR" "$HOME" "$data" -mindepth 1 -path "$XDG_CACHE_HOME/mesa_shader_cache*" -prune -o -print | sort
}

# Polls until PID has ended (status in $ended_status) or LIMIT seconds passed.
ended_status=""
wait_end() {
  local pid="$1" limit="$2" i
  for ((i = 0; i < limit * 20; ++i)); do
    if ! kill -0 "$pid" 2>/dev/null; then
      set +e
      { wait "$pid"; } 2>/dev/null
      ended_status=$?
      set -e
      return 0
    fi
    sleep 0.05
  done
  return 1
}

kinds=("full term" "full kill" "full xkill" "preview term" "preview kill" "preview xkill")
declare -A n_cycles n_faults n_inloop sum_end max_end statuses
faults=()
for ((c = 1; c <= cycles; ++c)); do
  kind="${kinds[$(((c - 1) % ${#kinds[@]}))]}"
  mode="${kind% *}" how="${kind#* }"
  # Drawn here: $RANDOM in a command substitution would be the subshell's.
  r=$RANDOM
  w=$window
  [ "$mode" = preview ] && w=2
  moment=$(awk -v r="$r" -v w="$w" 'BEGIN { printf "%.2f", r / 32768 * w }')
  cycle_faults=()
  dpy="$main_display"
  if [ "$how" = xkill ]; then
    start_xserver
    dpy="$xserver_display"
  fi
  holder=""
  args=(/s)
  if [ "$mode" = preview ]; then
    DISPLAY="$dpy" "$xprobe" window 320 240 >"$work/parent" 2>/dev/null &
    holder=$!
    for _ in $(seq 1 100); do [ -s "$work/parent" ] && break; sleep 0.05; done
    args=(/p "$(cat "$work/parent")")
  fi
  rm -f "$data/velmira.log"
  files >"$work/before"
  : >"$work/stderr"

  DISPLAY="$dpy" setsid "$velmira" "${args[@]}" --data "$data" >"$work/stdout" 2>"$work/stderr" &
  pid=$!
  sleep "$moment"
  # Where the show was: running its loop, or still starting.
  inloop=0
  if [ "$mode" = full ]; then grep -qs "InitScene done" "$data/velmira.log" && inloop=1; fi
  t0=$(date +%s.%N)
  case "$how" in
    term) kill -TERM "$pid" 2>/dev/null || true; limit=10 ;;
    kill) kill -KILL "$pid" 2>/dev/null || true; limit=5 ;;
    xkill) kill -KILL "$xserver_pid"; limit=10 ;;
  esac
  if wait_end "$pid" "$limit" 2>/dev/null; then
    took=$(awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')
    status=$ended_status
  else
    took=""
    cycle_faults+=("did not end within $limit s")
    kill -KILL "$pid" 2>/dev/null || true
    wait_end "$pid" 5 2>/dev/null || true
    status="$ended_status(SIGKILLed)"
  fi
  case "$how:$status" in
    term:0 | term:143 | kill:137 | xkill:0 | xkill:1) ;;
    *) cycle_faults+=("exit status $status") ;;
  esac
  shm=$(awk -v p="$pid" 'NR > 1 && $5 == p { print "id " $2 " (" $4 " bytes)" }' /proc/sysvipc/shm | tr '\n' ' ')
  [ -n "$shm" ] && cycle_faults+=("shared memory left: $shm")
  left=$(ps -eo pid=,sid= | awk -v s="$pid" '$2 == s { print $1 }' | tr '\n' ' ')
  [ -n "$left" ] && cycle_faults+=("processes of its session left: $left")
  if [ "$how" != xkill ]; then
    probe=$(DISPLAY="$dpy" "$xprobe" free 2>&1) || cycle_faults+=("screen not given back: $(tr '\n' ' ' <<<"$probe")")
  fi
  # Ended only now: one holding the X connection keeps the screen as well.
  for p in $left; do kill -KILL "$p" 2>/dev/null || true; done
  if [ -n "$holder" ]; then
    kill -TERM "$holder" 2>/dev/null || true
    { wait "$holder"; } 2>/dev/null || true
  fi
  if [ "$how" = xkill ]; then { wait "$xserver_pid"; } 2>/dev/null || true; fi
  rm -f "$work/parent"
  new=$(comm -13 "$work/before" <(files) | grep -vx "$data/velmira.log" | tr '\n' ' ' || true)
  [ -n "$new" ] && cycle_faults+=("files left: $new")
  reports=$(rel_sanitized "$work/stderr" || true)
  [ -n "$reports" ] && cycle_faults+=("sanitizer: $(head -1 <<<"$reports")")

  n_cycles[$kind]=$((${n_cycles[$kind]:-0} + 1))
  [ "$inloop" = 1 ] && n_inloop[$kind]=$((${n_inloop[$kind]:-0} + 1))
  statuses[$kind]="${statuses[$kind]:-} $status"
  if [ -n "$took" ]; then
    sum_end[$kind]=$(awk -v a="${sum_end[$kind]:-0}" -v b="$took" 'BEGIN { print a + b }')
    max_end[$kind]=$(awk -v a="${max_end[$kind]:-0}" -v b="$took" 'BEGIN { print (b > a ? b : a) }')
  fi
  line=$(printf "cycle %3d %-13s at %5.2f s: status %-3s ended in %s s" "$c" "$kind" "$moment" "$status" "${took:-?}")
  if [ ${#cycle_faults[@]} -gt 0 ]; then
    n_faults[$kind]=$((${n_faults[$kind]:-0} + 1))
    for f in "${cycle_faults[@]}"; do faults+=("cycle $c ($kind at $moment s): $f"); done
    echo "kills: $line: FAULT: ${cycle_faults[*]}"
    cp "$work/stderr" "$work/stderr.cycle$c"
    [ -f "$data/velmira.log" ] && cp "$data/velmira.log" "$work/velmira.log.cycle$c"
  else
    echo "kills: $line"
  fi
done

echo "kills: seed $seed; per kind: cycles, full screen past start-up when killed, end time mean/max (s), statuses, cycles with faults"
for kind in "${kinds[@]}"; do
  n=${n_cycles[$kind]:-0}
  [ "$n" -gt 0 ] || continue
  mean=$(awk -v s="${sum_end[$kind]:-0}" -v n="$n" 'BEGIN { printf "%.2f", s / n }')
  hist=$(tr ' ' '\n' <<<"${statuses[$kind]}" | grep . | sort | uniq -c | awk '{ printf "%s:%s ", $2, $1 }')
  inl="${n_inloop[$kind]:-0}"
  [ "${kind%% *}" = preview ] && inl="-"
  printf "kills:   %-13s %3d cycles, in the loop %3s, end %s / %s s, statuses %s, faults %d\n" \
    "$kind" "$n" "$inl" "$mean" "${max_end[$kind]:-?}" "$hist" "${n_faults[$kind]:-0}"
done
if [ ${#faults[@]} -gt 0 ]; then
  for f in "${faults[@]}"; do echo "kills: FAULT: $f"; done
  echo "kills: FAIL (${#faults[@]} faults; work folder kept: $work)"
  exit 1
fi
rm -rf "$work"
echo "kills: PASS"
