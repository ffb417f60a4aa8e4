#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds quorbly-icongen and redraws packaging/icons/quorbly-{64,128,256}.png
# from the game's own models. Needs a display: without one it starts its own
# virtual X server (xvfb-run).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quorbly-icongen -j"$(nproc)"
mkdir -p "$root/packaging/icons"
run=("$build/tools/icongen/quorbly-icongen" "$root/data" "$root/packaging/icons")
if [ -n "${DISPLAY:-}" ]; then
  "${run[@]}"
else
  xvfb-run -a -s "-noreset -screen 0 640x480x24" "${run[@]}"
fi
