#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the replay generator and records the golden matches in
# tests/replays/ again, printing what each covers and its final digest. Run
# it after a deliberate change of the rules, and say in the commit why each
# digest changed; a rerun without one writes the same files byte for byte.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quorbly-replaygen -j"$(nproc)" >/dev/null
mkdir -p "$root/tests/replays"
"$build/tools/replaygen/quorbly-replaygen" "$root/data" "$root/tests/replays"
