#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the model generator and rewrites data/models/ (byte for byte the same
# files on every run).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quorbly-modelgen -j"$(nproc)"
mkdir -p "$root/data/models"
"$build/tools/modelgen/quorbly-modelgen" "$root/data/models"
