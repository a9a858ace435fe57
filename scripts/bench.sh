#!/bin/bash
# Builds Kelvo and writes BENCHMARKS.md: grab to file against ImageMagick's
# import, capture to PNG against ImageMagick and Pillow, the capture key to
# a PNG file against scrot, maim, import and Flameshot, start-up and idle
# memory beside an empty Win32 program and Flameshot, RLE coding and BMP
# reading against ImageMagick and Pillow, paints of a 3840 x 2160 picture,
# memory holding one, and a PNG opened through the plug-in helper against
# in-process. Not part of the tests.
#   scripts/bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${KELVO_BUILD:-$ROOT/build}
scripts/setup.sh
# Only the benchmark needs these: the photographs on the PNG benchmark's
# desktop come with ImageMagick's manual; scrot, maim and Flameshot are the
# capture tools Kelvo's capture key is measured against (ImageMagick's
# import is there already).
BENCH_PACKAGES=(imagemagick-6-doc scrot maim flameshot dbus)
missing=()
for p in "${BENCH_PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target win-x86_64 kelvo_picture_bench
exec /usr/bin/python3 "$ROOT/bench/run_bench.py" "$BUILD" "$ROOT/BENCHMARKS.md"
