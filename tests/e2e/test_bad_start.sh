#!/usr/bin/env bash
# Without "terrains" the game says so and exits 1; without a display it
# names the cause on one line and exits 1.
. "$(dirname "$0")/lib.sh"
copy_data
rm -f "$WORK/terrains"
start_game
status=$(wait_exit 60)
[ "$status" = "1" ] || fail "missing terrains gave status $status"
grep -qxF "Cannot open terrain file 'terrains'" "$WORK/out.txt" || fail "no missing-file line"

copy_data
(cd "$WORK" && env -u DISPLAY "$QUORBLY_BIN" >"$WORK/out.txt" 2>"$WORK/err.txt") &
GAME_PID=$!
status=$(wait_exit 20)
[ "$status" = "1" ] || fail "no display gave status $status"
[ "$(wc -l < "$WORK/err.txt")" -ge 1 ] || fail "no line on stderr"
grep -q '^Quorbly: cannot start SDL' "$WORK/err.txt" || fail "unclear no-display message"
echo "PASS"
