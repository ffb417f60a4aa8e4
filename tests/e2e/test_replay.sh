#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A session recorded by the real game (xdotool keys, the bot) replays
# headless and in the window (keys pressed there change only the view) to
# the digest the game printed. A golden watched in the window with seeks,
# pauses and speeds ends on its headless digest, on classic SDL 1.2 and on
# sdl12-compat alike; --at prints the digest at that time. A bad replay says
# FILE:LINE: why on one line and exits 2; one that plays differently here
# names the frame and exits 1.
. "$(dirname "$0")/lib.sh"
copy_data
game() { (cd "$WORK" && exec "$QUORBLY_BIN" "$@" >"$WORK/out.txt" 2>"$WORK/err.txt") & GAME_PID=$!; }
game --record "$WORK/s.qrp" --bot
win=$(find_window) || fail "no window named Quorbly"
focus_window "$win"
xdotool keydown Up sleep 1 keyup Up key F9 keydown Left sleep 1 key F1 keyup Left sleep 1 key Escape
wait_exit 60
[ "$STATUS" = 0 ] || fail "recording gave status $STATUS"
grep -qx "Replay saved: $WORK/s.qrp" "$WORK/out.txt" || fail "no 'Replay saved' line"
final=$(grep '^Final digest: [0-9a-f]\{16\} after [0-9]* frames$' "$WORK/out.txt") || fail "no final digest"
game --replay s.qrp --headless
wait_exit 30
[ "$STATUS" = 0 ] && grep -qxF "$final" "$WORK/out.txt" || fail "headless: $(grep digest "$WORK/out.txt")"
game --replay s.qrp # the view's keys change no play; the game's are ignored
win=$(find_window) || fail "no window for the replay"
focus_window "$win"
xdotool key F5 F8 p Right w F4
wait_exit 60
[ "$STATUS" = 0 ] && grep -qxF "$final" "$WORK/out.txt" || fail "window: $(grep digest "$WORK/out.txt")"
cp "$DATA_DIR/../tests/replays/edge.qrp" "$WORK/g.qrp"
game --replay g.qrp --headless --at 20
wait_exit 30
at=$(grep -x 'Digest: [0-9a-f]\{16\} after [0-9]* frames' "$WORK/out.txt") || fail "--at: no digest"
n=${at##* after } && game --replay g.qrp --headless --digest-every "${n% frames}"
wait_exit 30
grep -qxF "$at" "$WORK/out.txt" || fail "--at 20 gave '$at', straight playback $(head -1 "$WORK/out.txt")"
final=$(tail -1 "$WORK/out.txt")
game --replay g.qrp --at 10
win=$(find_window) || fail "no window for the golden"
focus_window "$win"
xdotool key Right Right Left Page_Down Page_Up Left Home Up Down space sleep 0.5 key space Up Up Up
wait_exit 60
[ "$STATUS" = 0 ] && grep -qxF "$final" "$WORK/out.txt" || fail "seeking: $(grep digest "$WORK/out.txt")"

# Expects status $1 and one line on standard error, FILE:LINE: then $2.
bad() {
  game --replay b.qrp --headless
  wait_exit 30
  [ "$STATUS" = "$1" ] && [ "$(wc -l <"$WORK/err.txt")" = 1 ] &&
    grep -q "^$WORK/b.qrp:[0-9]*: $2" "$WORK/err.txt" || fail "$2: status $STATUS, $(cat "$WORK/err.txt")"
}
sed '1s/ 1$/ 3/' "$WORK/s.qrp" >"$WORK/b.qrp" && bad 2 "format version 3"
head -c -3 "$WORK/s.qrp" >"$WORK/b.qrp" && bad 2 "the line is cut short"
head -n -1 "$WORK/s.qrp" >"$WORK/b.qrp" && bad 2 "the replay ends without its end line"
sed '9s/^[0-9a-f]*/3d4x/' "$WORK/s.qrp" >"$WORK/b.qrp" && bad 2 "unknown line"
sed '0,/+Up/s//+Upp/' "$WORK/s.qrp" >"$WORK/b.qrp" && bad 2 "unknown key '+Upp'"
sed '250s/$/ +F10/' "$DATA_DIR/../tests/replays/duel.qrp" >"$WORK/b.qrp" && bad 1 "after frame 300 "
for args in "--headless" "--replay s.qrp --record t.qrp" "--replay s.qrp --bot" "--digest-every 0"; do
  # shellcheck disable=SC2086
  (cd "$WORK" && "$QUORBLY_BIN" $args >/dev/null 2>"$WORK/err.txt")
  [ $? = 2 ] && grep -q '^quorbly: ' "$WORK/err.txt" || fail "'$args' was not refused"
done
echo "PASS: $final"
