#!/bin/bash
# Builds Kelvo and writes BENCHMARKS.md: grab to file against ImageMagick's
# import, capture to PNG against ImageMagick and Pillow, RLE coding and BMP
# reading against ImageMagick and Pillow, paints of a 3840 x 2160 picture,
# memory holding one, and a PNG opened through the plug-in helper against
# in-process. Not part of the tests.
#   scripts/bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${KELVO_BUILD:-$ROOT/build}
scripts/setup.sh
# The photographs on the PNG benchmark's desktop come with ImageMagick's
# manual; only the benchmark needs them.
if ! dpkg-query -W -f='${Status}' imagemagick-6-doc 2>/dev/null | grep -q "install ok installed"; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends imagemagick-6-doc
fi
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target win-x86_64 kelvo_picture_bench
exec /usr/bin/python3 "$ROOT/bench/run_bench.py" "$BUILD" "$ROOT/BENCHMARKS.md"
