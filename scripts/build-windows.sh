#!/usr/bin/env bash
# Builds the Windows layers with mingw-w64 from this tree, and tests them:
#
#   scripts/build-windows.sh x86_64|i686 [BUILD_DIR]
#
# Configures and builds into BUILD_DIR (default build-windows-ARCH beside the
# sources); for x86_64 runs the tests there under wine64 (no display needed).
# There is no 32-bit Wine here: i686 is compiled and linked only.
# DevIL.dll and ILU.dll are built once into the build folder (a few minutes);
# FX_DEVIL_DIR=folder names a folder that holds them already.
# The program's icon and demo package come from the content builder, which
# runs under Wine; the i686 build cannot run it and takes them from another
# build: FX_DEMO_FROM=other-build/demo/xxdata.dat (velmira.ico beside it),
# by default the x86_64 build's beside this one when it has drawn them.
#
# Then lays out the release in dist/windows-ARCH/ (or FX_DIST): velmira.scr (stripped),
# DevIL.dll, ILU.dll, the demo xxdata.dat, README.txt and the licences of
# what it ships.
set -euo pipefail
arch=${1:?usage: build-windows.sh x86_64|i686 [BUILD_DIR]}
case "$arch" in x86_64|i686) ;; *) echo "ARCH must be x86_64 or i686" >&2; exit 2;; esac
src=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$src/build-windows-$arch}
jobs=${JOBS:-2}

args=(-S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-$arch.cmake")
[ -n "${FX_DEVIL_DIR:-}" ] && args+=(-DFX_DEVIL_DIR="$FX_DEVIL_DIR")
demo=${FX_DEMO_FROM:-}
if [ -z "$demo" ] && [ "$arch" = i686 ] && [ -f "$(dirname "$build")/build-windows-x86_64/demo/xxdata.dat" ]; then
    demo=$(dirname "$build")/build-windows-x86_64/demo/xxdata.dat
fi
if [ "$arch" = i686 ] && [ -z "$demo" ]; then
    echo "build-windows (i686): set FX_DEMO_FROM to a drawn demo package (the x86_64 build's demo/xxdata.dat)" >&2
    exit 2
fi
[ -n "$demo" ] && args+=(-DFX_DEMO_FROM="$demo")
# The cross compilers, the assembler libjpeg-turbo's SIMD code needs, and Wine
# for the content builder and the tests.
"$src/scripts/deps.sh" mingw-w64 nasm wine64
start=$(date +%s)
cmake "${args[@]}"
cmake --build "$build" -j "$jobs"
echo "build-windows ($arch): built in $(( $(date +%s) - start )) s"
if [ "$arch" = x86_64 ]; then
    start=$(date +%s)
    (cd "$build" && ctest -j "$jobs" --output-on-failure)
    echo "build-windows ($arch): tested in $(( $(date +%s) - start )) s"
fi

# The release folder, as a user gets it.
dist=${FX_DIST:-$src/dist/windows-$arch}
devil=${FX_DEVIL_DIR:-$build/devil-w32}
third="$src/third_party"
rm -rf "$dist"
mkdir -p "$dist/licenses"
"$arch-w64-mingw32-strip" -o "$dist/velmira.scr" "$build/app/velmira.scr"
cp "$devil/DevIL.dll" "$devil/ILU.dll" "$build/demo/xxdata.dat" "$dist/"
# Windows readers expect CR LF line ends.
sed 's/$/\r/' "$src/app/data/README-windows.txt" > "$dist/README.txt"
licence() {  # archive (a pattern), file inside it, name in licenses/
    local archive
    for archive in "$third"/$1; do
        tar -xzOf "$archive" "$2" | sed 's/$/\r/' > "$dist/licenses/$3"
    done
}
licence devil-*.tar.gz devil/DevIL/COPYING DevIL-LGPL-2.1.txt
licence libjpeg-turbo-*.tar.gz libjpeg-turbo/LICENSE.md libjpeg-turbo.txt
licence libpng-*.tar.gz libpng/LICENSE.md libpng.txt
licence zlib-*.tar.gz zlib/LICENSE zlib.txt
# The C++ runtime and the threads library are linked into velmira.scr.
for f in /usr/share/doc/gcc-mingw-w64-base/copyright /usr/share/doc/mingw-w64-common/copyright; do
    [ -f "$f" ] && sed 's/$/\r/' "$f" > "$dist/licenses/$(basename "$(dirname "$f")").txt"
done
echo "build-windows ($arch): release in $dist"
ls -l "$dist"
