#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# On Wayland, through sdl12-compat (classic SDL 1.2 has no Wayland driver):
# under weston with its GL renderer the game opens an 800x600 window, draws
# its arena with the HUD's white text on top into the compositor's own
# screenshot, and quits with status 0 on Escape. Weston's headless backend
# offers no seat, and SDL2 2.26 crashes in SDL_Init on a compositor without
# one; its X11 backend, in the test's X server, has a seat and the same
# renderer.
. "$(dirname "$0")/lib.sh"
copy_data
compat=/usr/lib/x86_64-linux-gnu/sdl12-compat
[ -f "$compat/libSDL-1.2.so.0" ] && command -v weston >/dev/null ||
  fail "no sdl12-compat or weston (scripts/install-deps.sh installs them)"
export XDG_RUNTIME_DIR="$WORK/run" WAYLAND_DISPLAY=quorbly-test
mkdir -m 700 "$XDG_RUNTIME_DIR" "$WORK/shots"
# No panel: its clock would change the desktop under the game's window.
printf '[shell]\npanel-position=none\n' >"$WORK/weston.ini"
# Weston's X window takes the keyboard from the X server, and every time it
# loses the X focus it takes the keyboard from the game's surface; giving the
# focus back does not always return it. So the X focus follows the pointer
# (as after a fresh start, whatever an earlier test left), and the pointer
# stays inside weston's window from before it opens.
xdotool windowfocus 1 mousemove 512 384 # 1 is PointerRoot
weston --backend=x11-backend.so --socket="$WAYLAND_DISPLAY" --width=1024 --height=768 \
  --idle-time=0 --debug --config="$WORK/weston.ini" >"$WORK/weston.txt" 2>&1 &
weston=$!
trap 'kill "$weston" 2>/dev/null; [ -n "$GAME_PID" ] && kill -9 "$GAME_PID" 2>/dev/null; rm -rf "$WORK"' EXIT
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && break; sleep 0.2; done
grep -q 'GL renderer: ' "$WORK/weston.txt" || fail "weston has no GL renderer: $(tail -5 "$WORK/weston.txt")"
# The compositor's screenshot (weston --debug allows it) as $WORK/shots/$1.png.
shoot() {
  (cd "$WORK/shots" && weston-screenshooter >/dev/null 2>&1 && mv wayland-screenshot-*.png "$1.png")
}
sleep 2 # the desktop's background
shoot desktop || fail "no screenshot of the desktop"
# In the sanitizer build, LeakSanitizer's own thread, which stops the others
# to scan them at exit, crashes in about one run in ten here (SIGSEGV, "Tracer
# caught signal 11") while SDL2's Wayland and D-Bus threads run; and it finds
# only memory that SDL2 and libdbus keep. So this client runs without the leak
# check; AddressSanitizer and UBSan still watch it, and the leak check runs
# on every X11 test.
[ -n "${ASAN_OPTIONS:-}" ] && export ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"
(cd "$WORK" && SDL_VIDEODRIVER=wayland LD_LIBRARY_PATH="$compat" exec "$QUORBLY_BIN" --seed 7 \
  --terrain "Heavy Hills" >"$WORK/out.txt" 2>"$WORK/err.txt") &
GAME_PID=$!
wait_for_output '^Loading Map: ' || fail "no map on Wayland"
# The window is what changed on the desktop; once the first frames are
# drawn, the brown hills fill a sixth of it or more, below the HUD's white
# text.
frame() { convert "$WORK/shots/game.png" -crop "$window" +repage -crop "$1" -fx "$2" -format '%[fx:mean]' info:; }
drawn() {
  shoot game || return 1
  window=$(compare -fuzz 10% -compose src -highlight-color white -lowlight-color black \
    "$WORK/shots/desktop.png" "$WORK/shots/game.png" png:- | convert - -trim -format '%wx%h%O' info:)
  [ "${window%%+*}" = 800x600 ] || return 1
  hills=$(frame 800x600+0+0 '(r>0.3&&r>g&&g>b)?1:0')
  white=$(frame 800x24+0+0 '(r>0.8&&g>0.8&&b>0.8)?1:0')
  awk "BEGIN { exit !($hills > 0.15 && $white > 0.01) }"
}
poll drawn 50 || fail "no frame: the window is ${window:-not seen}, hills ${hills:-?}, HUD text ${white:-?}"
# Weston passes the pointer and the keys on: a click in the game's window
# gives it weston's.
read -r x y <<<"$(echo "$window" | awk -F'[x+]' '{ print $3 + $1 / 2, $4 + $2 / 2 }')"
west=$(xdotool search --class weston | head -1)
xdotool mousemove --window "$west" "$x" "$y" click 1 sleep 0.5 key Escape
wait_exit 30
[ "$STATUS" = 0 ] || fail "Escape on Wayland gave status $STATUS"
echo "PASS: the frame in $window, hills $hills, HUD text $white"
