#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The game reports its OpenGL capabilities and first map, opens an 800x600
# window called Quorbly, follows a resize, and ends with status 0 on the
# window manager's close request; --fullscreen covers the screen until
# Alt+Enter; without its terrains, or without a display, it says why on one
# line and exits 1.
. "$(dirname "$0")/lib.sh"
copy_data
start_game
win=$(find_window) || fail "no window named Quorbly"
xdotool getwindowgeometry "$win" | grep -q "Geometry: 800x600" || fail "window is not 800x600"
wait_for_output '^Loading Map: ' || fail "no map loaded"
order=$(grep -oE '^(Using OpenGL|Shaders: (Supported|Not supported\. Booo)$|Shadows: (Supported|Not supported\. Booo)$|Loading Map)' "$WORK/out.txt" | cut -c1-5 | tr '\n' ' ')
[ "$order" = "Using Shade Shado Loadi " ] || fail "report lines: $order"
name=$(sed -n 's/^Loading Map: //p' "$WORK/out.txt")
grep -v '^#' "$DATA_DIR/terrains" | cut -d, -f1 | grep -qxF "$name" || fail "unknown map '$name'"
xdotool windowsize "$win" 1024 768
sleep 2
alive || fail "game died on resize"
xdotool getwindowgeometry "$win" | grep -q "Geometry: 1024x768" || fail "window kept its size"
screenshot "$win" resized
"$WM_DELETE" "$win" || fail "could not send the close request"
wait_exit 20
[ "$STATUS" = "0" ] || fail "close request gave status $STATUS"

# --fullscreen covers the screen, and Alt+Enter brings back the 800x600 window.
(cd "$WORK" && exec "$QUORBLY_BIN" --fullscreen >"$WORK/out.txt" 2>"$WORK/err.txt") &
GAME_PID=$!
win=$(find_window) || fail "no full-screen window"
size() { poll "xdotool getwindowgeometry '$win' | grep -q 'Geometry: $1\$'" 50; }
size "$(xdpyinfo | awk '/dimensions:/ { print $2 }')" || fail "--fullscreen: $(xdotool getwindowgeometry "$win")"
focus_window "$win"
xdotool key alt+Return
size 800x600 || fail "Alt+Enter: $(xdotool getwindowgeometry "$win")"
xdotool key Escape
wait_exit 20
[ "$STATUS" = "0" ] || fail "Escape after full screen gave status $STATUS"

rm "$WORK/terrains"
start_game
wait_exit 60
[ "$STATUS" = "1" ] || fail "missing terrains gave status $STATUS"
grep -qxF "Cannot open terrain file 'terrains'" "$WORK/out.txt" || fail "no missing-file line"
for display in "" :4711; do
  (cd "$WORK" && DISPLAY=$display exec "$QUORBLY_BIN" >"$WORK/out.txt" 2>"$WORK/err.txt") &
  GAME_PID=$!
  wait_exit 20
  [ "$STATUS" = "1" ] || fail "display '$display' gave status $STATUS"
  [ "$(wc -l <"$WORK/err.txt")" = 1 ] || fail "display '$display': not one line"
  grep -q '^Quorbly: cannot open a window' "$WORK/err.txt" || fail "display '$display': unclear line"
  [ ! -s "$WORK/out.txt" ] || fail "display '$display': text console output"
done
grep -q "^Quorbly: cannot open a window on display ':4711'" "$WORK/err.txt" || fail "unclear bad-display line"
# A video driver the player chose is tried even without a display.
(cd "$WORK" && env -u DISPLAY SDL_VIDEODRIVER=dummy "$QUORBLY_BIN" >"$WORK/out.txt" 2>"$WORK/err.txt") &
GAME_PID=$!
wait_exit 20
grep -q "^Quorbly: cannot open the 800x600 OpenGL window" "$WORK/err.txt" || fail "chosen driver not tried: $(cat "$WORK/err.txt")"
echo "PASS: started on '$name'"
