#!/usr/bin/env bash
# Without "terrains" the game says so and exits 1; without a display it
# names the cause on one line and exits 1.
. "$(dirname "$0")/lib.sh"
copy_data
rm -f "$WORK/terrains"
start_game
wait_exit 60
[ "$STATUS" = "1" ] || fail "missing terrains gave status $STATUS"
grep -qxF "Cannot open terrain file 'terrains'" "$WORK/out.txt" || fail "no missing-file line"

copy_data
(cd "$WORK" && env -u DISPLAY "$QUORBLY_BIN" >"$WORK/out.txt" 2>"$WORK/err.txt") &
GAME_PID=$!
wait_exit 20
[ "$STATUS" = "1" ] || fail "no display gave status $STATUS"
[ "$(wc -l < "$WORK/err.txt")" -ge 1 ] || fail "no line on stderr"
grep -q '^Quorbly: cannot open a window: no X display' "$WORK/err.txt" || fail "unclear no-display message"

# A display that does not exist is named as well.
(cd "$WORK" && DISPLAY=:4711 "$QUORBLY_BIN" >"$WORK/out.txt" 2>"$WORK/err.txt") &
GAME_PID=$!
wait_exit 20
[ "$STATUS" = "1" ] || fail "a missing display gave status $STATUS"
grep -q "^Quorbly: cannot open a window on display ':4711'" "$WORK/err.txt" || fail "unclear bad-display message"
[ ! -s "$WORK/out.txt" ] || fail "text-console output without a display"
echo "PASS"
