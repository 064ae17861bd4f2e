#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh DIR [cmake options...]
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
jobs="${FX_JOBS:-$(nproc)}"
# Quiet unless configuring fails; then its whole output is shown.
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
cmake -S "$top" -B "$dir" -G Ninja "$@" >"$log" 2>&1 || { cat "$log"; exit 1; }
cmake --build "$dir" -j "$jobs"
