#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
"$top/scripts/deps.sh"
"$top/scripts/build.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo
echo "The show itself is not built yet. Running the engine's render-loop demo instead:"
exec "$top/build/bench/loop_bench"
