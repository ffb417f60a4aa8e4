#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Quorbly needs to build, run and test.
# Quick no-op when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config python3
  libsdl1.2-dev libsdl-mixer1.2-dev
  freeglut3-dev libglu1-mesa-dev libgl-dev libgl1-mesa-dri
  libgtest-dev libvorbis-dev libsoxr-dev libenet-dev
  xvfb xauth xdotool imagemagick x11-utils libx11-dev
  libsdl1.2-compat weston
  zlib1g-dev dpkg-dev desktop-file-utils groff-base appstream lintian
  clang libclang-rt-14-dev llvm clang-format
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
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
