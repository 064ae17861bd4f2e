#!/usr/bin/env bash
# Line coverage of engine/, app/ and tools/ by the whole test suite:
#   scripts/coverage.sh [BUILD_DIR]   (default build-cov)
# Builds a Debug build with --coverage, runs ctest and prints gcovr's summary;
# FX_COVERAGE_FILES=1 prints each file's lines as well.
# Exits non-zero when the build or a test fails.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
dir="$(realpath -m "${1:-$top/build-cov}")"
"$top/scripts/deps.sh" gcovr

"$top/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=Debug -DFX_BUILD_BENCH=OFF \
  -DCMAKE_C_FLAGS=--coverage -DCMAKE_CXX_FLAGS=--coverage -DCMAKE_EXE_LINKER_FLAGS=--coverage
find "$dir" -name '*.gcda' -delete
rc=0
ctest --test-dir "$dir" --output-on-failure -j "${FX_JOBS:-2}" --timeout 300 || rc=$?
filters=(-r "$top" "$dir" -e 'tests/' -e 'fuzz/' -e 'bench/')
out="$(gcovr "${filters[@]}" --print-summary)"
if [ "${FX_COVERAGE_FILES:-0}" = "1" ]; then echo "$out"; else echo "$out" | tail -n 3; fi
exit $rc
