#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test:
#   the normal build, the portable layers built without X11, the
#   address/undefined and thread sanitizer builds, the reliability checks in
#   their short form (fuzzing, damaged packages, soak, kills, the whole show
#   under the thread sanitizer), the Debian package unpacked and run under the XScreenSaver
#   daemon, and the Windows side: built with mingw-w64, its tests and the
#   release end to end under wine64.
# FX_QUICK=1 runs the normal build's tests only; FX_DEB=0 leaves out the
# Debian package, FX_WINDOWS=0 the Windows side.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"

windows=${FX_WINDOWS:-1}
if [ "$windows" = 1 ] && [ "${FX_QUICK:-0}" != 1 ]; then
  "$top/scripts/deps.sh" mingw-w64 nasm wine64
else
  "$top/scripts/deps.sh"
fi

run_ctest() {
  local dir="$1"
  echo "== tests: $dir (at ${SECONDS} s)"
  ctest --test-dir "$dir" --output-on-failure -j "${FX_JOBS:-$(nproc)}" --timeout 300
  echo "== tests done: $dir (at ${SECONDS} s)"
}

"$top/scripts/build.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_ctest build

# The portable layers alone, built without any window system and tested
# without a display.
"$top/scripts/build.sh" build-portable -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFX_X11=OFF -DFX_BUILD_BENCH=OFF
(unset DISPLAY; run_ctest build-portable)

if [ "${FX_QUICK:-0}" = "1" ]; then
  exit 0
fi

# The sanitizer builds are optimised like the release: the sanitizers see the
# code that ships, and the content builder's drawing stays within the tests'
# time limit.
# They take the demo package the normal build drew.
demo="$top/build/demo/xxdata.dat"
"$top/scripts/build.sh" build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFX_SANITIZE=address -DFX_BUILD_BENCH=OFF \
  -DFX_DEMO_FROM="$demo"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-asan

"$top/scripts/build.sh" build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFX_SANITIZE=thread -DFX_BUILD_BENCH=OFF \
  -DFX_DEMO_FROM="$demo"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$top/tests/support/tsan.supp" run_ctest build-tsan

# The reliability checks in their short form: every fuzz target (its
# regression inputs, its seeds and a few thousand inputs), damaged packages
# played offline, a soak, starts ended at random moments and the whole show
# under the thread sanitizer, on the builds above. scripts/reliability.sh
# without --short is the long run.
echo "== reliability, short (at ${SECONDS} s)"
FUZZ_DEMO="$demo" FX_DEMO_FROM="$demo" RELIABILITY_BUILD="$top/build" RELIABILITY_ASAN_BUILD="$top/build-asan" \
  RELIABILITY_TSAN_BUILD="$top/build-tsan" bash "$top/scripts/reliability.sh" --short

# The Debian package, with the demo package drawn above.
if [ "${FX_DEB:-1}" = 1 ]; then
  echo "== Debian package (at ${SECONDS} s)"
  FX_DEMO_FROM="$demo" bash "$top/tests/packaging/deb_test.sh" "$top/build-deb"
fi

# The Windows side, from the same tree, with the demo package drawn above.
if [ "$windows" = 1 ]; then
  echo "== windows (at ${SECONDS} s)"
  FX_DEMO_FROM="$demo" "$top/scripts/build-windows.sh" x86_64 "$top/build-windows-x86_64"
  echo "== windows end to end (at ${SECONDS} s)"
  bash "$top/tests/windows/wine_e2e.sh" "$top/dist/windows-x86_64"
fi
echo "== all tests passed in ${SECONDS} s"
