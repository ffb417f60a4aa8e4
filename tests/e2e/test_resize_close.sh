#!/usr/bin/env bash
# The window follows a resize to 1024x768 and the game keeps running; the
# window manager's close request ends it with status 0.
. "$(dirname "$0")/lib.sh"
copy_data
start_game
win=$(find_window) || fail "no window"
wait_for_output "Loading Map" || fail "no map loaded"
sleep 1
xdotool windowsize "$win" 1024 768
sleep 2
kill -0 "$GAME_PID" 2>/dev/null || fail "game died on resize"
geometry=$(xdotool getwindowgeometry "$win")
echo "$geometry" | grep -q "Geometry: 1024x768" || fail "window did not take the new size: $geometry"
screenshot "$win" resized
"$WM_DELETE" "$win" || fail "could not send the close request"
wait_exit 20
[ "$STATUS" = "0" ] || fail "close request gave status $STATUS"
echo "PASS"
