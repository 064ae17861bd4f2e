#!/usr/bin/env bash
# Builds the Debian package velmira_VERSION-REVISION_amd64.deb: an optimised
# build for /usr without tests or benchmarks, in build-deb/ (or BUILD-DIR),
# packed by cpack. The last line it prints is the package's path.
#   scripts/build-deb.sh [BUILD-DIR]
# JOBS sets the build's parallel jobs (default: the number of processors);
# FX_DEMO_FROM=other-build/demo/xxdata.dat packs that demo package instead of
# drawing one.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-deb}"

# dpkg-shlibdeps (dpkg-dev) works out the libraries' packages.
"$root/scripts/deps.sh" dpkg-dev

# Debian's hardening flags, as its own package builds use them.
flags() { (cd "$root" && DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"); }
cppflags="$(flags CPPFLAGS)"

demo=()
[ -n "${FX_DEMO_FROM:-}" ] && demo=(-DFX_DEMO_FROM="$FX_DEMO_FROM")
cmake -S "$root" -B "$build" -G Ninja "${demo[@]}" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DFX_BUILD_TESTS=OFF -DFX_BUILD_BENCH=OFF -DFX_SANITIZE= -DFX_FUZZ=OFF -DFX_X11=ON \
  -DCMAKE_C_FLAGS="$(flags CFLAGS) $cppflags" \
  -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $cppflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}"

# A package of an earlier version must not pass for this one.
rm -f "$build"/velmira_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=("$build"/velmira_*.deb)
if [ ! -f "${deb[0]}" ] || [ ${#deb[@]} -ne 1 ]; then
  echo "build-deb.sh: cpack made no single velmira_*.deb in $build" >&2
  exit 1
fi
echo "${deb[0]}"
