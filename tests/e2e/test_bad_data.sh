#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Broken data never stops the game: without models and sounds, with a
# terrain.frag that does not compile, a ball.vert that does not link, every
# other shader empty and no audio device, it plays, starts a new map, lives
# through a resize to nothing and quits with status 0 on Escape.
. "$(dirname "$0")/lib.sh"
copy_data
rm -rf "$WORK/models" "$WORK/sound"
printf 'void main() { gl_FragColor = vec4(1.0) +; }\n' >"$WORK/terrain.frag"
printf 'void helper() { gl_Position = ftransform(); }\n' >"$WORK/ball.vert"
: >"$WORK/powerup.vert"
SDL_AUDIODRIVER=nosuchdriver start_game
win=$(find_window) || fail "no window"
wait_for_output '^Loading Map: ' || fail "no first map"
focus_window "$win"
xdotool key F4 keydown Up keydown Left
sleep 2
xdotool keyup Up keyup Left key F1 F11 F6 F7 p
sleep 2
[ "$(grep -c '^Loading Map: ' "$WORK/out.txt")" = 2 ] || fail "F1 gave no new map"
# X may refuse a 0 by 0 window; either way the game goes on.
xdotool windowsize "$win" 0 0 2>/dev/null
sleep 1
xdotool windowsize "$win" 640 1 2>/dev/null
sleep 1
alive || fail "the game died"
xdotool windowsize "$win" 800 600
focus_window "$win"
xdotool key Escape
wait_exit 60
[ "$STATUS" = "0" ] || fail "Escape gave status $STATUS"
for line in 'Compile terrain.frag failed:' 'Link ball.vert and ball.frag failed:' \
  'Compile powerup.vert failed:\|Link powerup.vert and powerup.frag failed:' 'Unable to open audio: '; do
  grep -q "^$line" "$WORK/err.txt" || fail "no line '$line'"
done
echo "PASS"
