#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds quorbly-screenshots and retakes the README's pictures:
# docs/screenshot-{start,hit,grown,winner}.png, from the real game set up in
# each situation. Needs a display: without one it starts its own virtual X
# server (xvfb-run).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quorbly-screenshots -j"$(nproc)"
mkdir -p "$root/docs"
run=("$build/tools/screenshots/quorbly-screenshots" "$root/data" "$root/docs")
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
if [ -n "${DISPLAY:-}" ]; then
  "${run[@]}" | grep '\.png$'
else
  xvfb-run -a -s "-noreset -screen 0 1280x1024x24" "${run[@]}" | grep '\.png$'
fi
