#!/usr/bin/env bash
# How fast a preview ends, with the demo package and with the same package
# without its preview picture, on a private X server.
#   bench/host_bench.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/full" "$work/records" "$work/nopreview"
cp "$build/demo/xxdata.dat" "$work/full/"
# The preview picture is record 56.
"$build/tools/fxpack" extract "$work/full/xxdata.dat" -o "$work/records" >/dev/null
(cd "$work/records" && for f in *; do id="${f%%.*}"; [ "$id" = 56 ] || echo "$id records/$f"; done) >"$work/list"
"$build/tools/fxpack" build -m "$work/list" "$work/nopreview/xxdata.dat" >/dev/null
for data in "$work/full" "$work/nopreview"; do
  "$top/tests/support/xvfb-run.sh" "$build/bench/host_bench" "$build/app/velmira" "$data" "${2:-10}"
done
