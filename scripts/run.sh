#!/bin/bash
# Builds Kelvo and starts it under Wine.
#   scripts/run.sh
# With a display ($DISPLAY reachable), Kelvo starts on it in the Wine
# prefix ~/.kelvo-wine and runs until you quit it. Without one, a virtual
# display is started, Kelvo captures the desktop, and a screenshot of its
# main window showing the capture is written; its path is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${KELVO_BUILD:-$ROOT/build}

scripts/setup.sh
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target win-x86_64
BIN=$BUILD/win-x86_64/bin

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  export WINEPREFIX=${WINEPREFIX:-$HOME/.kelvo-wine} LANG=ja_JP.UTF-8 WINEDEBUG=-all
  # In its own folder, as Explorer starts it: Kelvo looks for image
  # plug-ins (the bundled ifstb.sph) in its current directory first.
  cd "$BIN"
  exec /usr/lib/wine/wine64 "$BIN/kelvo.exe"
fi
exec /usr/bin/python3 "$ROOT/scripts/demo.py" "$BUILD/demo" "$BIN"
