#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing,
# and any further packages named as arguments (scripts/deps.sh gcovr).
# Quiet when nothing is missing. Safe to run any number of times.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config
  # tests
  libgtest-dev
  # fuzzing (libFuzzer and the sanitizer runtimes of clang)
  clang libclang-rt-14-dev
  # drawing: X11, OpenGL through GLX with Mesa's software renderer, GLU
  libx11-dev libxext-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri
  # pictures: DevIL (loaded at run time), FreeType and a font, libjpeg-turbo
  libdevil1c2 libdevil-dev libfreetype-dev fonts-dejavu-core libturbojpeg0-dev
  # tests that draw run on a private X server; ImageMagick makes test pictures
  xvfb xauth x11-utils imagemagick
  # end-to-end tests drive the real program with XTest input
  libxtst-dev
  # the end-to-end test under the real XScreenSaver daemon
  xscreensaver
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "error: missing packages (${missing[*]}) and not root: install them or run as root" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
