#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and prints every benchmark figure: the
# terrain, the frame update, the frame, the start-up (quorbly-bench, run
# from data/) and the peak resident size over a minute of bot play, all
# under one virtual X server with SDL's dummy audio driver; then two
# minutes of online play on 127.0.0.1 (quorbly-bench-net).
#   scripts/bench.sh [BUILD_DIR]   (default build/; takes a few minutes)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
bash "$root/scripts/build.sh" "$build" >/dev/null
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
echo "# machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "# load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
xvfb-run -a -s "-noreset -screen 0 1280x1024x24" bash -c '
  cd "$1/data" && "$2/bench/quorbly-bench"
  bash "$1/bench/run-game-figures.sh" "$2/quorbly" "$1/data"
' bench "$root" "$build"
# Online play: two headless games on 127.0.0.1 for two minutes.
(cd "$root/data" && "$build/bench/quorbly-bench-net")
echo "# load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
