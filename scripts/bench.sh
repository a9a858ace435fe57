#!/bin/bash
# Builds Kelvo and writes BENCHMARKS.md: grab to file against ImageMagick's
# import, RLE coding and BMP reading against ImageMagick and Pillow, paints
# of a 3840 x 2160 picture, memory holding one, and a PNG opened through the
# plug-in helper against in-process. Not part of the tests.
#   scripts/bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${KELVO_BUILD:-$ROOT/build}
scripts/setup.sh
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target win-x86_64 kelvo_picture_bench
exec /usr/bin/python3 "$ROOT/bench/run_bench.py" "$BUILD" "$ROOT/BENCHMARKS.md"
