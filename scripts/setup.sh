#!/bin/bash
# Installs what building, running and testing Kelvo need on Debian 12, and
# prepares the machine (Japanese locale). Idempotent; quick when everything
# is already there. Run as root (or with sudo available).
set -euo pipefail

PACKAGES=(
  cmake make g++ pkg-config
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 fonts-wine
  xvfb xauth x11-utils xdotool
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
  fonts-ipafont-gothic locales
  imagemagick python3 python3-pil python3-xlib
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev
  libstb-dev
  cups cups-client printer-driver-cups-pdf ghostscript poppler-utils
  zip unzip
  dpkg-dev
)

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "[setup] installing: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  echo "[setup] generating the ja_JP.UTF-8 locale"
  as_root sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
fi

# The source of the libraries compiled into Kelvo (libdeflate).
"$(dirname "$0")/third_party.sh"
