#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The GL, end-to-end and golden tiers once more on sdl12-compat, the SDL 1.2
# that distributions now ship on top of SDL2, loaded through LD_LIBRARY_PATH
# in place of classic SDL 1.2, under a virtual X server with SDL's dummy
# audio driver. SDL2 is unloaded at exit a fifth of a second late
# (tests/slow_sdl2_unload.c), so that a thread of SDL2 still running then
# crashes every time. Arguments go to CTest. Part of scripts/test-deep.sh.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
compat=/usr/lib/x86_64-linux-gnu/sdl12-compat
bash "$root/scripts/build.sh" "$build"

# ldd's whole answer first: grep -q leaving early would kill ldd with
# SIGPIPE, and pipefail would take that for a missing library.
libs=$(LD_LIBRARY_PATH="$compat" ldd "$build/quorbly")
grep -q "$compat/libSDL-1.2.so.0" <<<"$libs" ||
  { echo "the game does not load $compat/libSDL-1.2.so.0 (scripts/install-deps.sh installs it)"; exit 1; }
cc -shared -fPIC -o "$build/libslow-sdl2-unload.so" "$root/tests/slow_sdl2_unload.c" -ldl
echo "== the GL, end-to-end and golden tiers on sdl12-compat"
export LD_LIBRARY_PATH="$compat" LD_PRELOAD="$build/libslow-sdl2-unload.so" SDL_AUDIODRIVER=dummy
xvfb-run -a -s "-noreset -screen 0 1280x1024x24" \
  ctest --test-dir "$build" --output-on-failure -j2 -L 'gl|e2e|golden' "$@"
