#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test tier under a
# virtual X server with SDL's dummy audio driver; then, unless arguments
# pick tests for CTest, everything again under the sanitizers with the
# fuzzers (scripts/test-sanitize.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
bash "$root/scripts/build.sh" "$build"
export SDL_AUDIODRIVER=dummy
xvfb-run -a -s "-noreset -screen 0 1280x1024x24" \
  ctest --test-dir "$build" --output-on-failure -j2 "$@"
if [ $# -eq 0 ]; then
  bash "$root/scripts/test-sanitize.sh"
fi
