#!/bin/bash
# Fetches the source of the libraries built into Kelvo from Debian's own
# package source into third_party/build/, where CMake compiles them for the
# native build and both Windows targets:
#   libdeflate (MIT)  DEFLATE and CRC-32 for the PNG writer
# Idempotent; does nothing when the source is there. Run as root (or with
# sudo available); scripts/setup.sh calls it.
set -euo pipefail
cd "$(dirname "$0")/.."
DEST=third_party/build

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

if compgen -G "$DEST/libdeflate-*/libdeflate.h" >/dev/null; then
  exit 0
fi

# apt-get source needs deb-src entries; a stock Debian 12 has the binary
# ones only. They are made from Debian's own deb entries, in whichever of
# the two formats the machine uses.
if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  echo "[third_party] enabling deb-src for Debian's own package source"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -n '/^Types: deb$/,/^$/p' /etc/apt/sources.list.d/debian.sources \
      | sed 's/^Types: deb$/Types: deb-src/' \
      | as_root tee /etc/apt/sources.list.d/kelvo-deb-src.sources >/dev/null
  fi
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb \(.*debian.*\)$/deb-src \1/p' /etc/apt/sources.list \
      | as_root tee /etc/apt/sources.list.d/kelvo-deb-src.list >/dev/null
  fi
  as_root apt-get update -qq
fi

echo "[third_party] fetching the libdeflate source"
mkdir -p "$DEST"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Fetched as whoever runs this; apt's own sandbox user cannot write here.
(cd "$work" && apt-get source -qq libdeflate 2>&1 | grep -v 'unsandboxed' || true)
src=$(compgen -G "$work/libdeflate-*/libdeflate.h" | head -1)
if [ -z "$src" ]; then
  echo "[third_party] apt-get source libdeflate gave no source" >&2
  exit 1
fi
cp -r "$(dirname "$src")" "$DEST/"
