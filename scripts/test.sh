#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, checks the format of every C and C++
# file, and runs the test tiers (unit, sound, GL, end-to-end, the include
# check and a short soak) under a virtual X server with SDL's dummy audio
# driver: at most five minutes on two cores. Arguments go to CTest. The
# deep stage (sanitizers, fuzzing, the long plays) is scripts/test-deep.sh.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
bash "$root/scripts/build.sh" "$build"

echo "== clang-format"
if [ -d "$root/.git" ] || [ -f "$root/.git" ]; then
  git -C "$root" ls-files -z '*.c' '*.cpp' '*.h' | (cd "$root" && xargs -0 clang-format --dry-run -Werror)
  # Every source file says its licence.
  unlicensed=$(cd "$root" && git ls-files '*.c' '*.cpp' '*.h' '*.sh' '*.py' '*.vert' '*.frag' \
    'CMakeLists.txt' | xargs grep -L 'SPDX-License-Identifier: GPL-3.0-or-later' || true)
  [ -z "$unlicensed" ] || { echo "no SPDX-License-Identifier line: $unlicensed"; exit 1; }
else
  find "$root" -path "$root/build*" -prune -o \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) \
    -print0 | xargs -0 clang-format --dry-run -Werror
fi

export SDL_AUDIODRIVER=dummy
xvfb-run -a -s "-noreset -screen 0 1280x1024x24" \
  ctest --test-dir "$build" --output-on-failure -j2 "$@"
