#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds quorbly-soundgen and rewrites data/sound/ with the fourteen sounds.
# The output is deterministic: a rerun leaves the files byte for byte alike.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quorbly-soundgen -j"$(nproc)"
mkdir -p "$root/data/sound"
"$build/tools/soundgen/quorbly-soundgen" "$root/data/sound"
