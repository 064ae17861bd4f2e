#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/, makes a seed corpus
# of real packages, and runs every target for a bounded time.
#   FUZZ_BUILD     build folder (default build-fuzz/)
#   FUZZ_DEMO      a demo package whose real records join the seeds (default
#                  build/demo/xxdata.dat, when there is one)
#   FUZZ_PREPARE=1 build and make the seeds only (scripts/reliability/fuzz.sh
#                  runs the targets itself)
#   FUZZ_SECONDS   seconds per target (default 60)
#   FUZZ_FIXED=1   instead: a fixed seed and a fixed number of runs per target
#                  (about fifteen seconds each here), so a run gives the same
#                  result every time; CI uses this
#   FUZZ_JOBS      build jobs (default 2)
# Exits non-zero when a build fails or a target finds a crash.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="${FUZZ_BUILD:-$root/build-fuzz}"
secs="${FUZZ_SECONDS:-60}"
jobs="${FUZZ_JOBS:-2}"
targets=(fuzz_package fuzz_mesh fuzz_phaser fuzz_canvas fuzz_movie fuzz_bezier fuzz_model fuzz_obj fuzz_scene fuzz_anim
  fuzz_gif fuzz_mtl fuzz_stage fuzz_config)

command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is not installed" >&2; exit 1; }

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
  -DFX_FUZZ=ON -DFX_BUILD_TESTS=OFF -DFX_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]}" fxpack fuzz_seeds

# Seed corpus: packages written by the package tool from small records of the
# kinds the engine stores (strings, int and float lists, vector maps, pools).
seeds="$build/fuzz-seeds/package"
work="$build/fuzz-seeds/files"
rm -rf "$seeds" "$work"
mkdir -p "$seeds" "$work"
fxpack="$build/tools/fxpack"
printf '\x04\x00\x00\x00name\x03\x00\x00\x00\x01\x00\x00\x00\x02\x00\x00\x00\x03\x00\x00\x00' > "$work/record.bin"
# vector map: 6 position floats, 3 normal floats, 2 texture floats
{
  printf '\x06\x00\x00\x00'; for i in 1 2 3 4 5 6; do printf '\x00\x00\x80\x3f'; done
  printf '\x03\x00\x00\x00'; for i in 1 2 3; do printf '\x00\x00\x00\x40'; done
  printf '\x02\x00\x00\x00'; for i in 1 2; do printf '\x00\x00\x40\x40'; done
} > "$work/map.bin"
# number pool of 14 bytes: corners of (int, word, byte)
printf '\x0e\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' > "$work/pool.bin"
printf '\xff\xd8\xff\xe0fake-jpeg' > "$work/pic.jpg"
printf 'BM' > "$work/tiny.bmp"
"$fxpack" build "$seeds/plain.dat" "$work/record.bin" "$work/map.bin" "$work/pool.bin" "$work/pic.jpg" >/dev/null
"$fxpack" build -s "$seeds/scrambled.dat" "$work/pic.jpg" "$work/map.bin" "$work/record.bin" >/dev/null
"$fxpack" build "$seeds/ids.dat" 5="$work/pool.bin" 9="$work/map.bin" 2="$work/tiny.bmp" >/dev/null
printf '\x05\x00\x00\x00pck01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' > "$seeds/empty.dat"

# Mesh records (whole and compact), phaser records, movie records, timing
# graphs, model records, OBJ text and scene records written by the engine's
# own writers.
mkdir -p "$build/fuzz-seeds/mesh" "$build/fuzz-seeds/phaser" "$build/fuzz-seeds/movie" "$build/fuzz-seeds/bezier" \
  "$build/fuzz-seeds/model" "$build/fuzz-seeds/obj" "$build/fuzz-seeds/scene" "$build/fuzz-seeds/anim"
rm -f "$build/fuzz-seeds/mesh/"* "$build/fuzz-seeds/phaser/"* "$build/fuzz-seeds/movie/"* "$build/fuzz-seeds/bezier/"* \
  "$build/fuzz-seeds/model/"* "$build/fuzz-seeds/obj/"* "$build/fuzz-seeds/scene/"* "$build/fuzz-seeds/anim/"*
"$build/fuzz/fuzz_seeds" "$build/fuzz-seeds/mesh" "$build/fuzz-seeds/phaser" "$build/fuzz-seeds/movie" "$build/fuzz-seeds/bezier" \
  "$build/fuzz-seeds/model" "$build/fuzz-seeds/obj" "$build/fuzz-seeds/scene" "$build/fuzz-seeds/anim"

# Pictures of each stored type, behind the byte that picks the decoder.
mkdir -p "$build/fuzz-seeds/canvas"
rm -f "$build/fuzz-seeds/canvas/"*
n=0
for ext in jpg png bmp tga gif; do
  pic="$work/seed.$ext"
  out="$pic"
  [ $ext = bmp ] && out="BMP3:$pic"  # the decoder reads version-3 bitmaps
  if convert -size 24x16 gradient:red-blue "$out" 2>/dev/null; then
    { printf "\\$(printf %03o $n)"; cat "$pic"; } > "$build/fuzz-seeds/canvas/$ext"
  fi
  n=$((n + 1))
done

# GIF pictures for the engine's own decoder: plain, transparent, interlaced.
mkdir -p "$build/fuzz-seeds/gif"
rm -f "$build/fuzz-seeds/gif/"*
convert -size 24x16 gradient:red-blue "$build/fuzz-seeds/gif/plain.gif" 2>/dev/null || true
convert -size 9x7 xc:none -fill red -draw 'point 3,3' "$build/fuzz-seeds/gif/transparent.gif" 2>/dev/null || true
convert -size 20x12 plasma:fractal -seed 1 -interlace GIF "$build/fuzz-seeds/gif/interlaced.gif" 2>/dev/null || true

# Material libraries: MTL text and the library record.
mkdir -p "$build/fuzz-seeds/mtl"
rm -f "$build/fuzz-seeds/mtl/"*
printf '# two materials\nnewmtl skin\nKa 0.2 0.2 0.2\nKd 0.8 0.6 0.5\nKs 1 1 1\nNs 50\nd 0.9\nmap_Kd skin.jpg\n\nnewmtl cloth\nKd 0 0 1\n' \
  > "$build/fuzz-seeds/mtl/two.mtl"

# Configuration texts: the user's file and XScreenSaver's settings file.
mkdir -p "$build/fuzz-seeds/config"
rm -f "$build/fuzz-seeds/config/"*
printf '# Velmira screen saver: the folder that holds xxdata.dat\npath=/home/u/velmira\n' > "$build/fuzz-seeds/config/plain"
printf '[Velmira]\r\n  path =  /srv/a b \t\r\n#path=/x\npath=/later\n' > "$build/fuzz-seeds/config/blanks"
printf 'timeout:\t0:10:00\n*grabDesktopImages:  False\nprograms:\t\\\n  grabDesktopImages: True \\\n  velmira -root\n' \
  > "$build/fuzz-seeds/config/xscreensaver"

# Real records of the demo package: its root scene, sprite movies, the
# gallery model's library, a small picture, and a package of the scene with
# the movies and picture its items name.
mkdir -p "$build/fuzz-seeds/stage"
rm -f "$build/fuzz-seeds/stage/"*
demo="${FUZZ_DEMO:-$root/build/demo/xxdata.dat}"
if [ -f "$demo" ]; then
  real="$work/real"
  mkdir -p "$real"
  "$fxpack" extract "$demo" -o "$real" 0 357 420 3491 3516 2329 2330 3515 >/dev/null
  cp "$real/0.bin" "$build/fuzz-seeds/scene/demo-root.bin"
  for id in 357 420 3491 3516; do cp "$real/$id.bin" "$build/fuzz-seeds/movie/demo-$id.bin"; done
  cp "$real/2329.bin" "$build/fuzz-seeds/mtl/demo-library.bin"
  { printf '\000'; cat "$real/3515.jpg"; } > "$build/fuzz-seeds/canvas/demo-jpg"
  "$fxpack" build "$build/fuzz-seeds/stage/demo.dat" 0="$real/0.bin" 3491="$real/3491.bin" 3516="$real/3516.bin" \
    3515="$real/3515.jpg" >/dev/null
  cp "$build/fuzz-seeds/stage/demo.dat" "$build/fuzz-seeds/package/demo-stage.dat"
else
  echo "fuzz.sh: no demo package at $demo: seeds from the engine's writers only"
fi
for f in "$build/fuzz-seeds/scene/"*; do
  "$fxpack" build "$build/fuzz-seeds/stage/$(basename "$f").dat" 0="$f" 5="$work/pic.jpg" >/dev/null
done

[ "${FUZZ_PREPARE:-0}" = 1 ] && exit 0

seeds_for() {
  case "$1" in
    fuzz_mesh) echo "$build/fuzz-seeds/mesh" ;;
    fuzz_phaser) echo "$build/fuzz-seeds/phaser" ;;
    fuzz_canvas) echo "$build/fuzz-seeds/canvas" ;;
    fuzz_movie) echo "$build/fuzz-seeds/movie" ;;
    fuzz_bezier) echo "$build/fuzz-seeds/bezier" ;;
    fuzz_model) echo "$build/fuzz-seeds/model" ;;
    fuzz_obj) echo "$build/fuzz-seeds/obj" ;;
    fuzz_scene) echo "$build/fuzz-seeds/scene" ;;
    fuzz_anim) echo "$build/fuzz-seeds/anim" ;;
    fuzz_gif) echo "$build/fuzz-seeds/gif" ;;
    fuzz_mtl) echo "$build/fuzz-seeds/mtl" ;;
    fuzz_stage) echo "$build/fuzz-seeds/stage" ;;
    fuzz_config) echo "$build/fuzz-seeds/config" ;;
    *) echo "$build/fuzz-seeds/package" ;;
  esac
}

status=0
for t in "${targets[@]}"; do
  corpus="$build/fuzz-corpus/$t"
  artifacts="$build/fuzz-artifacts/$t"
  mkdir -p "$corpus" "$artifacts"
  # DevIL leaks on its own error paths, and decoding takes more memory.
  rss=2048 leaks=1
  [ "$t" = fuzz_canvas ] || [ "$t" = fuzz_stage ] && rss=3000 leaks=0
  if [ "${FUZZ_FIXED:-0}" = 1 ]; then
    case "$t" in
      fuzz_package) runs=25000 ;;
      fuzz_mesh) runs=8000 ;;
      fuzz_phaser) runs=250000 ;;
      fuzz_movie) runs=250000 ;;
      fuzz_bezier) runs=75000 ;;
      fuzz_model) runs=125000 ;;
      fuzz_obj) runs=25000 ;;
      fuzz_scene) runs=40000 ;;
      fuzz_anim) runs=8000 ;;
      fuzz_gif) runs=25000 ;;
      fuzz_mtl | fuzz_stage | fuzz_config) runs=3000 ;;
      *) runs=8000 ;;
    esac
    # A fresh corpus each time: the same seed over the same inputs.
    rm -rf "$corpus" && mkdir -p "$corpus"
    bound=(-seed=1 -runs=$runs)
    echo "fuzz.sh: running $t for $runs inputs"
  else
    bound=(-max_total_time="$secs")
    echo "fuzz.sh: running $t for ${secs}s"
  fi
  if ! ASAN_OPTIONS="detect_leaks=$leaks" "$build/fuzz/$t" "${bound[@]}" -timeout=20 -rss_limit_mb=$rss \
       -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$(seeds_for "$t")"; then
    echo "fuzz.sh: $t FAILED; reproducer in $artifacts" >&2
    status=1
  fi
done
exit $status
