#!/usr/bin/env bash
# Every reader of bytes from a file under libFuzzer with ASan, UBSan and the
# leak checker: first each target replays its regression inputs
# (fuzz/regressions/TARGET/) and its seeds (scripts/fuzz.sh makes them: real
# records of the demo package and records of the engine's writers), then it
# fuzzes from a fixed seed.
#   scripts/reliability/fuzz.sh [--short] [TARGET...]
#   full (default)  one million inputs per target, two targets at a time,
#                   each stopped after FUZZ_MAX_SECONDS (default 1800) at most
#   --short         a few thousand inputs per target (CI)
#   FUZZ_BUILD      build folder (default build-fuzz/)
#   FUZZ_RUNS       inputs per target instead of the mode's
# Prints per target the inputs run and inputs per second; exits non-zero on
# a crash, a leak, a sanitizer report, a failed replay or build. What a
# target found is in FUZZ_BUILD/fuzz-artifacts/TARGET/: mend the reader and
# copy the input into fuzz/regressions/TARGET/.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export FUZZ_BUILD="${FUZZ_BUILD:-$root/build-fuzz}"
build="$FUZZ_BUILD"
short=0
chosen=()
for a in "$@"; do
  case "$a" in
    --short) short=1 ;;
    fuzz_*) chosen+=("$a") ;;
    *) echo "usage: fuzz.sh [--short] [TARGET...]" >&2; exit 2 ;;
  esac
done

# The slowest first (inputs per second here over a minute: canvas 670,
# mesh 780, package 1360, scene 4250, mtl 5130; the rest faster), so that
# the two cores end together.
all=(fuzz_canvas fuzz_mesh fuzz_package fuzz_scene fuzz_mtl fuzz_bezier fuzz_obj fuzz_anim fuzz_config fuzz_stage
  fuzz_gif fuzz_model fuzz_movie fuzz_phaser)
[ ${#chosen[@]} -gt 0 ] || chosen=("${all[@]}")

FUZZ_PREPARE=1 "$root/scripts/fuzz.sh"

if [ "$short" = 1 ]; then
  runs="${FUZZ_RUNS:-3000}" maxsecs=30
else
  runs="${FUZZ_RUNS:-1000000}" maxsecs="${FUZZ_MAX_SECONDS:-1800}"
fi
out="$build/reliability"
rm -rf "$out"
mkdir -p "$out"

seeds_of() {
  case "$1" in
    fuzz_package) echo package ;;
    *) echo "${1#fuzz_}" ;;
  esac
}

# DevIL's own error paths leak (the decoders the canvas and the scene items
# call): those leaks are not ours and are suppressed by library; every other
# leak counts.
printf 'leak:libIL.so\nleak:libILU.so\n' >"$out/lsan.supp"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1"
export LSAN_OPTIONS="suppressions=$out/lsan.supp"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# One target: replay, then fuzz. Writes $out/TARGET.result as
# "TARGET pass|FAIL runs execs_per_s seconds replayed".
one() {
  local t="$1" exe="$build/fuzz/$1" log="$out/$1.log"
  local seeds="$build/fuzz-seeds/$(seeds_of "$t")" reg="$root/fuzz/regressions/$t"
  local corpus="$out/corpus/$t" artifacts="$build/fuzz-artifacts/$t"
  mkdir -p "$corpus" "$artifacts"
  local inputs=()
  shopt -s nullglob
  [ -d "$reg" ] && inputs+=("$reg"/*)
  [ -d "$seeds" ] && inputs+=("$seeds"/*)
  local status=pass start=$SECONDS
  # The regression inputs and seeds, each run once.
  if [ ${#inputs[@]} -gt 0 ] && ! "$exe" -rss_limit_mb=3000 -timeout=60 "${inputs[@]}" >"$log.replay" 2>&1; then
    status=FAIL
  fi
  if ! "$exe" -seed=1 -runs="$runs" -max_total_time="$maxsecs" -timeout=30 -rss_limit_mb=3000 \
       -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$seeds" >"$log" 2>&1; then
    status=FAIL
  fi
  local done_runs rate
  done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  echo "$t $status ${done_runs:-0} ${rate:-0} $((SECONDS - start)) ${#inputs[@]}" >"$out/$t.result"
}
export -f one seeds_of
export out build root runs maxsecs

start=$SECONDS
# Two at a time; a slow target does not hold the other core.
printf '%s\n' "${chosen[@]}" | xargs -P 2 -I{} bash -c 'one {}'
total=$((SECONDS - start))

failed=0 short_of=0
printf '%-14s %-5s %12s %10s %8s %9s\n' target check inputs "inputs/s" seconds replayed
for t in "${chosen[@]}"; do
  read -r _ status n rate secs replayed <"$out/$t.result"
  note=""
  if [ "$status" != pass ]; then
    failed=$((failed + 1))
    note="  see $out/$t.log and $build/fuzz-artifacts/$t/"
  elif [ "$n" -lt "$runs" ]; then
    short_of=$((short_of + 1))
    note="  (stopped at ${maxsecs}s before $runs)"
  fi
  printf '%-14s %-5s %12s %10s %8s %9s%s\n' "$t" "$status" "$n" "$rate" "$secs" "$replayed" "$note"
done
echo "== fuzzing: ${#chosen[@]} targets, $failed failed, $short_of short of $runs inputs, ${total}s in all"
for t in "${chosen[@]}"; do
  grep -q '^[^ ]* FAIL' "$out/$t.result" || continue
  echo "---- $t"
  grep -E 'ERROR|SUMMARY|Test unit written|deadly signal' "$out/$t.log" "$out/$t.log.replay" | head -20
done
[ "$failed" -eq 0 ]
