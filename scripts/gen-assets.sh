#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Regenerates every generated asset under data/ (models and sounds) byte for byte.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/gen-models.sh"
bash "$root/scripts/gen-sounds.sh"
