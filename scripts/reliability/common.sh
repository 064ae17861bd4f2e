# Shared by soak.sh, kills.sh and tsan.sh (sourced, not run).
#   rel_build DIR address|thread   configures DIR as scripts/test.sh configures
#                                  its sanitizer builds (once) and builds the
#                                  program and xprobe only
#   rel_home DIR                   a user of our own under DIR: HOME, the XDG
#                                  folders, TMPDIR and a data folder holding
#                                  the demo package (exported)
#   rel_sanitized FILE             the sanitizer reports in FILE, if any
#   rel_show_seconds LOG           show seconds the trace log spans
#   rel_kinds LOG                  "kind count" per set kind started, in order
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
demo="${FX_DEMO_PACKAGE:-$root/build/demo/xxdata.dat}"
# The set kinds the director starts: 0 opens the show (it plays as 1), then
# fxChooseNextKind draws 1 to 5.
rel_all_kinds="0 1 2 3 4 5"

rel_build() {
  local dir="$1" sanitize="$2"
  if [ ! -f "$demo" ]; then
    echo "reliability: no demo package at $demo (scripts/test.sh draws it; FX_DEMO_PACKAGE names another)" >&2
    return 1
  fi
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFX_SANITIZE="$sanitize" \
      -DFX_BUILD_BENCH=OFF -DFX_DEMO_FROM="$demo" >"$dir.configure.log" 2>&1 ||
      { cat "$dir.configure.log"; return 1; }
  fi
  cmake --build "$dir" -j "${FX_JOBS:-2}" --target velmira xprobe
}

rel_home() {
  local dir="$1"
  mkdir -p "$dir/home/.config" "$dir/home/.local/state" "$dir/home/.cache" "$dir/tmp" "$dir/data"
  ln -sf "$demo" "$dir/data/xxdata.dat"
  export HOME="$dir/home" XDG_CONFIG_HOME="$dir/home/.config" XDG_STATE_HOME="$dir/home/.local/state"
  export XDG_CACHE_HOME="$dir/home/.cache" TMPDIR="$dir/tmp"
  unset XSCREENSAVER_WINDOW
  data="$dir/data"
}

rel_sanitized() {
  grep -E "ERROR: (Address|Leak)Sanitizer|runtime error:|WARNING: ThreadSanitizer|ThreadSanitizer: " "$1" 2>/dev/null
}

# Trace lines begin "THREAD: [SECONDS] ", seconds of the show's clock.
rel_show_seconds() {
  awk 'match($0, /\[[0-9.]+\]/) { t = substr($0, RSTART + 1, RLENGTH - 2) + 0; if (!n++) a = t; b = t }
       END { printf "%.0f\n", n ? b - a : 0 }' "$1"
}

rel_kinds() {
  grep -oE "set [0-9]+ kind [0-9]+ at" "$1" 2>/dev/null | awk '{ n[$4]++ } END { for (k in n) print k, n[k] }' | sort -n
}

# The kinds of rel_all_kinds not started in LOG.
rel_missing_kinds() {
  local seen k out=""
  seen=$(rel_kinds "$1" | awk '{ print $1 }')
  for k in $rel_all_kinds; do
    grep -qx "$k" <<<"$seen" || out="$out $k"
  done
  echo "${out# }"
}

# Resident memory of PID in MB, empty once it has gone.
rel_rss_mb() {
  awk '/^VmRSS:/ { printf "%.0f\n", $2 / 1024 }' "/proc/$1/status" 2>/dev/null
}

# Builds BUILD with SANITIZER once, then runs the calling script again on a
# private X server (rel_in_xvfb BUILD SANITIZER "$0" "$@"); inside, returns.
rel_in_xvfb() {
  local build=$1 sanitizer=$2
  shift 2
  [ -z "${FX_REL_INNER:-}" ] || return 0
  rel_build "$build" "$sanitizer"
  FX_REL_INNER=1 exec "$root/tests/support/xvfb-run.sh" "$@"
}

# The whole show full screen on the display from a work folder of its own
# (/tmp/PREFIX.*), with the demo package and its clock SPEED times as fast:
# sets work, data, log, start and pid (rel_start_show PREFIX BUILD SPEED).
rel_start_show() {
  work=$(mktemp -d "/tmp/$1.XXXXXX")
  rel_home "$work"
  cd "$work"
  log="$data/velmira.log"
  start=$(date +%s.%N)
  "$2/app/velmira" /s --data "$data" --clock-speed "$3" >"$work/stdout" 2>"$work/stderr" &
  pid=$!
}

# Whole seconds since rel_start_show.
now() { awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.0f\n", b - a }'; }

# Ends the show as the daemon ends a hack, SIGTERM, unless it died by itself
# (DIED non-empty), waiting up to LIMIT seconds before SIGKILL; sets status
# and stop_took (rel_stop_show LIMIT DIED).
rel_stop_show() {
  stop_took=""
  if [ -z "$2" ]; then
    kill -TERM "$pid"
    local t
    t=$(date +%s.%N)
    for _ in $(seq 1 $(($1 * 10))); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
      kill -KILL "$pid"
      stop_took="over $1 s"
    else
      stop_took=$(awk -v a="$t" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f s", b - a }')
    fi
  fi
  set +e
  wait "$pid"
  status=$?
  set -e
}
