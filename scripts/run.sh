#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo package and runs the show
# full screen. Without a display it renders a few frames offline instead.
# Arguments are handed to the program instead of the full-screen mode.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
"$top/scripts/deps.sh"
"$top/scripts/build.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo
demo="$top/build/demo"
velmira="$top/build/app/velmira"
[ -f "$demo/xxdata.dat" ] || { echo "run.sh: the demo package was not built" >&2; exit 1; }

if [ $# -gt 0 ]; then
  exec "$velmira" --data "$demo" "$@"
fi
if [ -n "${DISPLAY:-}" ] && command -v xdpyinfo >/dev/null 2>&1 && xdpyinfo >/dev/null 2>&1; then
  echo "Velmira runs full screen on $DISPLAY: any key ends it (mouse and focus after four seconds)."
  exec "$velmira" /s --data "$demo"
fi
out="$top/build/offline"
echo "There is no display here, so the show is rendered offline instead (on a private X server)."
"$top/tests/support/xvfb-run.sh" "$velmira" --offline "$out" --data "$demo" --times 0.1,1,2,3,6
echo "Frames of the opening are in $out"
