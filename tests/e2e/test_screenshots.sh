#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The screenshot tool plays four situations in the real game (a match start,
# a hit, a grown ball, a won match) and saves four full, different frames
# with the HUD's white text on top.
. "$(dirname "$0")/lib.sh"
tool="$BUILD_DIR/tools/screenshots/quorbly-screenshots"
timeout 240 "$tool" "$DATA_DIR" "$WORK" >"$WORK/out.txt" 2>"$WORK/err.txt" || fail "$tool failed"
for shot in start hit grown winner; do
  png="$WORK/screenshot-$shot.png"
  grep -qxF "$png" "$WORK/out.txt" || fail "$shot was not reported"
  # A drawn arena has thousands of colours; a blank or half-drawn frame a handful.
  read -r size colours < <(identify -format '%wx%h %k' "$png")
  [ "$size" = 800x600 ] && [ "${colours:-0}" -gt 1000 ] || fail "$shot: $size, $colours colours"
  white=$(convert "$png" -crop 800x24+0+0 -fx '(r>0.8&&g>0.8&&b>0.8)?1:0' -format '%[fx:mean>0.01]' info:)
  [ "$white" = 1 ] || fail "$shot has no HUD text on top"
done
cmp -s "$WORK/screenshot-start.png" "$WORK/screenshot-winner.png" && fail "start and winner are the same"
echo "PASS"
