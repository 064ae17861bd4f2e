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
