#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real game with the bot on and random keys from xdotool for a while (30 s;
# the deep stage plays five minutes of its sanitizer build with
# QUORBLY_SOAK_SECONDS=300), then Escape: exit status 0, no sanitizer report.
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
# Space pauses a match in play and starts the next one after a decided match;
# no new map means it paused (or resumed), and a pause is soon lifted.
paused=0
space() { local n; n=$(maps); xdotool key space; sleep 1; [ "$(maps)" = "$n" ] && paused=$((1 - paused)); }
keys=(Up Down Left Right Up Down Left Right F5 F6 F7 F8 F9 F10 F11 F12 p 1 2 space F1 F4)
end=$((SECONDS + seconds))
while [ "$SECONDS" -lt "$end" ]; do
  kill -0 "$GAME_PID" 2>/dev/null || fail "the game died"
  k=${keys[$((RANDOM % ${#keys[@]}))]}
  if [ "$paused" = 1 ] || [ "$k" = space ]; then space
  elif [ "$k" = F4 ]; then xdotool key F4; sleep 0.5; xdotool key F4 # the bot off for a moment
  else xdotool keydown "$k"; sleep "0.$((RANDOM % 4))"; xdotool keyup "$k"
  fi
done
screenshot "$win" "soak"
xdotool key Escape
wait_exit 120
[ "$STATUS" = "0" ] || fail "Escape after $seconds s of random keys gave status $STATUS"
if grep -qE 'ERROR: (Address|Leak)Sanitizer|runtime error:|SUMMARY: UndefinedBehaviorSanitizer' "$WORK/err.txt"; then
  fail "a sanitizer report"
fi
echo "PASS: $seconds s of random keys, $(maps) maps"
