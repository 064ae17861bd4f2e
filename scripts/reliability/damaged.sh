#!/usr/bin/env bash
# Damaged packages: N copies of the demo package, each damaged by tools/fxdamage
# (from its own seed: records cut short, bytes flipped, magic, counts or a
# picture's size made absurd, the file cut short, an offset past the data),
# each played for 10 s of show time by the offline renderer, two at a time.
# A package passes when the show ends as with the sound package (no signal,
# the same exit status), wrote its frame, and its log names every damaged
# record the show reads at start-up ("must" lines of fxdamage).
#   scripts/reliability/damaged.sh [--short] [N]
#   --short          20 packages (CI); N overrides either count
#   RELIABILITY_BUILD  build folder (default build-reliability/; an existing
#                    one, such as the normal build/, is used as configured)
#   FX_DEMO_FROM     the sound package (default: build/demo/xxdata.dat when
#                    there is one, else this build draws it)
#   DAMAGED_SEED     first seed (default 1); package k takes seed + k
#   DAMAGED_KEEP=1   keep the work folder of every package, not just failures
# Exits non-zero when a package fails or the build does.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="${RELIABILITY_BUILD:-$root/build-reliability}"
count=1000
for a in "$@"; do
  case "$a" in
    --short) count=20 ;;
    [0-9]*) count="$a" ;;
    *) echo "usage: damaged.sh [--short] [N]" >&2; exit 2 ;;
  esac
done
seed0="${DAMAGED_SEED:-1}"
work="$build/damaged"

if [ -z "${FX_DAMAGED_INNER:-}" ]; then
  # The demo package another build drew, when there is one: drawing takes
  # minutes and checks nothing here.
  demo_from=()
  given="${FX_DEMO_FROM:-$root/build/demo/xxdata.dat}"
  [ -f "$given" ] && demo_from=(-DFX_DEMO_FROM="$given")
  # A build folder that exists (the normal build, say) keeps its options.
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFX_BUILD_TESTS=OFF \
      -DFX_BUILD_BENCH=OFF "${demo_from[@]}" >/dev/null
  fi
  cmake --build "$build" -j "${FX_JOBS:-2}" --target velmira fxdamage demo_content
  FX_DAMAGED_INNER=1 exec "$root/tests/support/xvfb-run.sh" "$0" "$@"
fi

velmira="$build/app/velmira"
fxdamage="$build/tools/fxdamage"
demo="$build/demo/xxdata.dat"
rm -rf "$work"
mkdir -p "$work"

# One show of 10 s into DIR/out: one frame at 10 s, small, with the log.
play() {
  local dir="$1"
  # A show that hangs is a fault too: 10 s of show time take a few seconds.
  timeout -k 10 "${DAMAGED_TIMEOUT:-300}" "$velmira" --offline "$dir/out" --data "$dir" --times 10 --size 160x120 \
    >"$dir/stdout" 2>"$dir/stderr"
}

# The sound package first: its exit status is what every damaged one must give.
mkdir -p "$work/sound"
cp "$demo" "$work/sound/xxdata.dat"
set +e
play "$work/sound"
good=$?
set -e
if [ "$good" -ne 0 ] || [ ! -f "$work/sound/out/frame-0010.000s.png" ]; then
  echo "damaged.sh: the sound package does not play (status $good)" >&2
  cat "$work/sound/stderr" >&2
  exit 1
fi
rm -rf "$work/sound"

# One damaged package: writes DIR/result as "pass|FAIL seconds reason".
one() {
  local k="$1" dir="$work/$1" seed=$((seed0 + $1))
  mkdir -p "$dir"
  local s0 e status reason=""
  s0=$(date +%s.%N)
  if ! "$fxdamage" "$demo" "$dir/xxdata.dat" "$seed" "$dir/tmp" >"$dir/damage"; then
    echo "FAIL 0 fxdamage failed (seed $seed)" >"$dir/result"
    return
  fi
  set +e
  play "$dir"
  status=$?
  set -e
  e=$(date +%s.%N)
  local secs
  secs=$(awk -v a="$s0" -v b="$e" 'BEGIN { printf "%.1f", b - a }')
  if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    reason="hung: stopped after ${DAMAGED_TIMEOUT:-300}s"
  elif [ "$status" -gt 128 ]; then
    reason="killed by signal $((status - 128))"
  elif [ "$status" -ne "$good" ]; then
    reason="exit status $status"
  elif [ ! -s "$dir/out/frame-0010.000s.png" ]; then
    reason="no frame at 10 s"
  fi
  # Every damage the show must tell of is named in an error line of its log:
  # "record ID", or a name that is the id ('ID' for an item's picture, (ID)
  # for a movie frame).
  local log="$dir/out/velmira.log" id kind must missing=0 named=""
  sed -n 's/^#ERROR: [^]]*\] //p' "$log" >"$dir/errors" 2>/dev/null || true
  while read -r _ id kind must; do
    [ "$must" = must ] || continue
    if ! grep -Eq "record $id([^0-9]|\$)|'$id'|\($id\)" "$dir/errors"; then
      missing=$((missing + 1))
      [ "$missing" -le 5 ] && named="$named $id($kind)"
    fi
  done <"$dir/damage"
  [ "$missing" -eq 0 ] || reason="${reason:+$reason; }$missing damaged record(s) not reported:$named"
  if [ -z "$reason" ]; then
    echo "pass $secs" >"$dir/result"
    [ "${DAMAGED_KEEP:-0}" = 1 ] || rm -rf "$dir/out" "$dir/xxdata.dat"
  else
    echo "FAIL $secs $reason (seed $seed: $(head -c 300 "$dir/damage" | tr '\n' ','))" >"$dir/result"
  fi
}

start=$SECONDS
k=1
while [ "$k" -le "$count" ]; do
  one "$k" &
  if [ $((k + 1)) -le "$count" ]; then one $((k + 1)) & fi
  wait
  k=$((k + 2))
done
total=$((SECONDS - start))

pass=0 fail=0
for k in $(seq 1 "$count"); do
  read -r verdict _ <"$work/$k/result"
  if [ "$verdict" = pass ]; then pass=$((pass + 1)); else fail=$((fail + 1)); fi
done
echo "== damaged packages: $count, passed $pass, failed $fail, ${total}s in all"
awk '{ t += $2; if ($2 > m) m = $2 } END { if (NR) printf "== time per package: mean %.1fs, longest %.1fs (two at a time)\n", t / NR, m }' \
  "$work"/*/result
# The kind of damage of each package (its first line), and how many records.
for k in $(seq 1 "$count"); do cat "$work/$k/damage"; echo end; done |
  awk '$1 == "end" { first = 1; next } first { kind = $3; packages[kind]++; first = 0 } $1 == "damaged" { records[kind]++ }
       BEGIN { first = 1 }
       END { for (k in packages) printf "   %-8s %4d packages, %6d damaged records\n", k, packages[k], records[k] }'
if [ "$fail" -gt 0 ]; then
  for k in $(seq 1 "$count"); do
    grep -q '^FAIL' "$work/$k/result" && echo "FAIL package $k: $(cut -d' ' -f3- "$work/$k/result") [$work/$k]"
  done
  exit 1
fi
[ "${DAMAGED_KEEP:-0}" = 1 ] || rm -rf "$work"
exit 0
