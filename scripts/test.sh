#!/bin/bash
# Builds everything (native, x86_64 and i686 Windows) and runs every test:
# unit tests, Wine integration tests, printing tests, short fuzz runs.
#   scripts/test.sh [ctest arguments...]
# The build goes to ./build (or $KELVO_BUILD).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${KELVO_BUILD:-$ROOT/build}

scripts/setup.sh
if [ -x scripts/services.sh ]; then scripts/services.sh; fi

# Tests are configured whatever an earlier configure (scripts/run.sh
# switches them off) left in the cache.
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON >/dev/null
cmake --build "$BUILD" -j"$(nproc)"

# The Wine fixture stops Xvfb and wineserver itself; this is the safety net
# for an interrupted run.
trap '/usr/bin/python3 "$ROOT/tests/wine/env.py" cleanup "$BUILD/wine" >/dev/null 2>&1 || true' EXIT
# A run that finds no tests is a failure, never a pass.
ctest --test-dir "$BUILD" --output-on-failure --no-tests=error "$@"
