#!/usr/bin/env bash
# The game starts, reports its OpenGL capabilities and its first map, opens
# an 800x600 window called Quorbly, and quits with status 0 on Escape.
. "$(dirname "$0")/lib.sh"
copy_data
start_game
win=$(find_window) || fail "no window named Quorbly"
geometry=$(xdotool getwindowgeometry "$win")
echo "$geometry" | grep -q "Geometry: 800x600" || fail "window is not 800x600: $geometry"
sleep 2
kill -0 "$GAME_PID" 2>/dev/null || fail "game died after start"
screenshot "$win" start
focus_window "$win"
xdotool key Escape
wait_exit 20
[ "$STATUS" = "0" ] || fail "Escape gave status $STATUS"

grep -n -E '^(Using OpenGL |Shaders: |Shadows: |Loading Map: )' "$WORK/out.txt" > "$WORK/report.txt"
order=$(cut -d: -f2 "$WORK/report.txt" | awk '{print $1}' | tr '\n' ' ')
[ "$order" = "Using Shaders Shadows Loading " ] || fail "report lines out of order: $order"
grep -q -E '^Shaders: (Supported|Not supported\. Booo)$' "$WORK/out.txt" || fail "bad Shaders line"
grep -q -E '^Shadows: (Supported|Not supported\. Booo)$' "$WORK/out.txt" || fail "bad Shadows line"
name=$(grep '^Loading Map: ' "$WORK/out.txt" | head -1 | sed 's/^Loading Map: //')
grep -v '^#' "$DATA_DIR/terrains" | cut -d, -f1 | grep -qxF "$name" || fail "unknown map '$name'"
echo "PASS: started on '$name'"
