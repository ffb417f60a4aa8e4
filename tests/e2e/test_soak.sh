#!/usr/bin/env bash
# The real game with the bot on, random keys from xdotool for a while (30 s
# here; scripts/test-sanitize.sh runs five minutes of its AddressSanitizer
# build with QUORBLY_SOAK_SECONDS=300), then Escape: exit status 0, and no
# sanitizer report on standard error.
. "$(dirname "$0")/lib.sh"
seconds="${QUORBLY_SOAK_SECONDS:-30}"
RANDOM=4242

copy_data
start_game
win=$(find_window) || fail "no window named Quorbly"
wait_for_output '^Loading Map: ' || fail "no first map"
focus_window "$win"
xdotool key F4

maps() { grep -c '^Loading Map: ' "$WORK/out.txt"; }
alive() { kill -0 "$GAME_PID" 2>/dev/null; }

# Space pauses a match in play and starts the next one after a decided
# match. A new "Loading Map" line tells the two apart, so a pause is always
# lifted again soon.
paused=0
space() {
  local before after
  before=$(maps)
  xdotool key space
  sleep 1
  after=$(maps)
  if [ "$after" -eq "$before" ]; then paused=$((1 - paused)); fi
}

steer=(Up Down Left Right)
toggles=(F5 F6 F7 F8 F9 F10 F11 F12 p 1 2)
presses=0
end=$((SECONDS + seconds))
while [ "$SECONDS" -lt "$end" ]; do
  alive || fail "the game died after $presses key presses"
  r=$((RANDOM % 100))
  if [ "$paused" -eq 1 ] && [ $((RANDOM % 3)) -eq 0 ]; then
    space
  elif [ "$r" -lt 70 ]; then
    # Hold one or two arrows for a moment.
    k1=${steer[$((RANDOM % 4))]}
    k2=${steer[$((RANDOM % 4))]}
    xdotool keydown "$k1"
    [ $((RANDOM % 2)) -eq 0 ] && xdotool keydown "$k2"
    sleep "0.$((RANDOM % 6 + 1))"
    xdotool keyup "$k1" keyup "$k2"
  elif [ "$r" -lt 88 ]; then
    xdotool key "${toggles[$((RANDOM % ${#toggles[@]}))]}"
  elif [ "$r" -lt 95 ]; then
    space
  elif [ "$r" -lt 97 ]; then
    xdotool key F1
    sleep 1
  else
    # The bot off for a little while and on again.
    xdotool key F4
    sleep 0.5
    xdotool key F4
  fi
  presses=$((presses + 1))
done
alive || fail "the game died after $presses key presses"
screenshot "$win" "soak"
xdotool key Escape
wait_exit 120
[ "$STATUS" = "0" ] || fail "Escape after $seconds s of random keys gave status $STATUS"
if grep -qE 'ERROR: AddressSanitizer|ERROR: LeakSanitizer|runtime error:|SUMMARY: UndefinedBehaviorSanitizer' "$WORK/err.txt"; then
  fail "a sanitizer report"
fi
echo "PASS: $presses key actions over $seconds s, $(maps) maps"
