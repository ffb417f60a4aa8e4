#!/usr/bin/env bash
# The README's screenshot tool plays its four situations in the real game (a
# match start, a hit, a grown ball, a won match) and saves four full frames.
. "$(dirname "$0")/lib.sh"
tool="$BUILD_DIR/tools/screenshots/quorbly-screenshots"
[ -x "$tool" ] || fail "no $tool (build the quorbly-screenshots target)"
timeout 240 "$tool" "$DATA_DIR" "$WORK" >"$WORK/out.txt" 2>"$WORK/err.txt" ||
  fail "quorbly-screenshots failed with status $?"
for shot in start hit grown winner; do
  png="$WORK/screenshot-$shot.png"
  grep -qxF "$png" "$WORK/out.txt" || fail "$shot was not reported"
  read -r width height colours < <(identify -format '%w %h %k\n' "$png" 2>/dev/null)
  [ "$width x $height" = "800 x 600" ] || fail "$shot is ${width:-?} x ${height:-?}"
  # A drawn terrain with balls and text has thousands of colours; a blank or
  # half-drawn frame has a handful.
  [ "${colours:-0}" -gt 1000 ] || fail "$shot has only ${colours:-0} colours"
  # The HUD's top line (player names, terrain) is white text over the scene.
  white=$(convert "$png" -crop 800x24+0+0 +repage -fx '(r>0.8&&g>0.8&&b>0.8)?1:0' \
    -format '%[fx:mean]' info:)
  awk -v m="$white" 'BEGIN { exit !(m > 0.01) }' || fail "$shot has no HUD text on top ($white)"
done
cmp -s "$WORK/screenshot-start.png" "$WORK/screenshot-winner.png" && fail "start and winner frames are the same"
echo "PASS"
