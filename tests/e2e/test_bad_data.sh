#!/usr/bin/env bash
# Broken data never stops the game: it plays without the missing piece and
# quits with status 0 on Escape.
#  1. no models/ and no sound/, and a terrain.frag with a syntax error
#  2. all six shaders empty, every model garbage, every sound corrupt
#  3. a ball.vert without main (a link error), no audio device, and a
#     resize to 0 by 0
. "$(dirname "$0")/lib.sh"
shopt -s nullglob

# Plays a few seconds with the bot on, starts a new terrain, quits.
play_and_quit() {
  local what="$1" win
  win=$(find_window) || fail "$what: no window"
  wait_for_output '^Loading Map: ' || fail "$what: no first map"
  focus_window "$win"
  xdotool key F4
  xdotool keydown Up keydown Left
  sleep 2
  xdotool keyup Up keyup Left
  xdotool key F1
  sleep 2
  xdotool key F11 F6 F7 p
  sleep 1
  kill -0 "$GAME_PID" 2>/dev/null || fail "$what: the game died"
  [ "$(grep -c '^Loading Map: ' "$WORK/out.txt")" -ge 2 ] || fail "$what: F1 gave no new map"
  LAST_WIN="$win"
}

quit_ok() {
  local what="$1"
  xdotool key Escape
  wait_exit 60
  [ "$STATUS" = "0" ] || fail "$what: Escape gave status $STATUS"
}

# 1
copy_data
rm -rf "$WORK/models" "$WORK/sound"
printf 'void main() { gl_FragColor = vec4(1.0) +; }\n' > "$WORK/terrain.frag"
start_game
play_and_quit "no models, no sounds, terrain.frag broken"
quit_ok "no models, no sounds, terrain.frag broken"
grep -q '^Compile terrain.frag failed:' "$WORK/err.txt" || fail "no compile failure for terrain.frag"

# 2
rm -rf "$WORK"/*
copy_data
for f in ball.vert ball.frag terrain.vert terrain.frag powerup.vert powerup.frag; do
  : > "$WORK/$f"
done
for f in "$WORK"/models/*.obj; do
  head -c 3000 /dev/urandom > "$f"
done
for f in "$WORK"/sound/*; do
  head -c 2000 /dev/urandom > "$f"
done
start_game
play_and_quit "empty shaders, garbage models, corrupt sounds"
quit_ok "empty shaders, garbage models, corrupt sounds"

# 3
rm -rf "$WORK"/*
copy_data
printf 'void helper() { gl_Position = ftransform(); }\n' > "$WORK/ball.vert"
SDL_AUDIODRIVER=nosuchdriver start_game
play_and_quit "link error, no audio device"
# X may refuse a 0 by 0 window; either way the game goes on.
xdotool windowsize "$LAST_WIN" 0 0 2>/dev/null || true
sleep 1
xdotool windowsize "$LAST_WIN" 640 1 2>/dev/null || true
sleep 1
kill -0 "$GAME_PID" 2>/dev/null || fail "the game died on a resize to nothing"
xdotool windowsize "$LAST_WIN" 800 600
sleep 1
focus_window "$LAST_WIN"
quit_ok "link error, no audio device"
grep -q '^Link ball.vert and ball.frag failed:' "$WORK/err.txt" || fail "no link failure for the ball"
grep -q '^Unable to open audio: ' "$WORK/err.txt" || fail "no line about the missing audio device"
echo "PASS"
