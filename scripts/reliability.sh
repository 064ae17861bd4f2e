#!/usr/bin/env bash
# The show under faults, each part a script of scripts/reliability/:
#   fuzz     every reader of file bytes under libFuzzer, a million inputs each
#   damaged  1,000 damaged packages, 10 s of show each, offline
#   soak     an hour of the whole show under ASan and UBSan, clock 20 times as fast
#   kills    100 starts ended at random moments (SIGTERM, SIGKILL, X server gone)
#   tsan     a whole set cycle under the thread sanitizer
# The full run takes about four and a half hours on two cores (fuzz two, the
# damaged packages one, the soak one, kills and tsan one). --short runs each
# part's short form, about eight minutes in all (CI runs it); naming parts
# runs only those.
#   scripts/reliability.sh [--short] [fuzz|damaged|soak|kills|tsan ...]
# Prints each part's summary and the time it took, and at the end one line
# per part; exits non-zero when a part failed.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
short=()
parts=()
for a in "$@"; do
  case "$a" in
    --short) short=(--short) ;;
    fuzz|damaged|soak|kills|tsan) parts+=("$a") ;;
    -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "reliability.sh: unknown argument '$a' (see --help)" >&2; exit 2 ;;
  esac
done
[ ${#parts[@]} -gt 0 ] || parts=(fuzz damaged soak kills tsan)

summary=()
failed=0
for p in "${parts[@]}"; do
  echo "== reliability: $p ${short[*]} (at $(date +%T))"
  start=$SECONDS
  if bash "$top/scripts/reliability/$p.sh" "${short[@]}"; then
    summary+=("$(printf '%-8s passed in %d s' "$p" $((SECONDS - start)))")
  else
    summary+=("$(printf '%-8s FAILED after %d s' "$p" $((SECONDS - start)))")
    failed=$((failed + 1))
  fi
done
echo "== reliability summary"
printf '  %s\n' "${summary[@]}"
[ "$failed" -eq 0 ] || { echo "$failed part(s) failed"; exit 1; }
echo "all parts passed"
