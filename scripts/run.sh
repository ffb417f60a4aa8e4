#!/usr/bin/env bash
# Installs what is missing, builds, and starts the game from data/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/build.sh"
exec "$root/build/quorbly" --data "$root/data" "$@"
