# SPDX-License-Identifier: GPL-3.0-or-later
# Shared helpers of the end-to-end tests: the real game in a scratch working
# directory under the test run's X server (started with -noreset).
# Arguments of every test: QUORBLY_BIN DATA_DIR WM_DELETE BUILD_DIR
set -u
QUORBLY_BIN="$1" DATA_DIR="$2" WM_DELETE="$3" BUILD_DIR="$4"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
WORK="$(mktemp -d /tmp/quorbly-e2e.XXXXXX)"
GAME_PID=""
trap '[ -n "$GAME_PID" ] && kill -9 "$GAME_PID" 2>/dev/null; rm -rf "$WORK"' EXIT

fail() {
  echo "FAIL: $*"
  tail -n 20 "$WORK/out.txt" "$WORK/err.txt" "$WORK/weston.txt" 2>/dev/null
  exit 1
}
copy_data() { rm -rf "${WORK:?}"/*; cp -r "$DATA_DIR/." "$WORK/"; }
# Starts the game in $WORK (or in $1 with the command $2 when given).
start_game() {
  (cd "${1:-$WORK}" && exec "${2:-$QUORBLY_BIN}" >"$WORK/out.txt" 2>"$WORK/err.txt") &
  GAME_PID=$!
}
alive() { kill -0 "$GAME_PID" 2>/dev/null; }
# Runs until $2 (tries, a fifth of a second apart) pass or the game ends.
poll() { for _ in $(seq 1 "${2:-300}"); do eval "$1" && return 0; alive || return 1; sleep 0.2; done; return 1; }
# Waits for the game's window and prints its id.
find_window() { poll 'id=$(xdotool search --name "^Quorbly$" 2>/dev/null | head -1); [ -n "$id" ]' && echo "$id"; }
wait_for_output() { poll "grep -q '$1' '$WORK/out.txt'"; }
# Puts the pointer into the window (no window manager: focus follows it).
focus_window() { xdotool mousemove --window "$1" 100 100; sleep 0.3; }
# Waits up to $1 seconds for the game to end; leaves its exit status in STATUS.
wait_exit() {
  STATUS=timeout
  for _ in $(seq 1 $(($1 * 10))); do
    alive || { wait "$GAME_PID"; STATUS=$?; GAME_PID=""; return 0; }
    sleep 0.1
  done
}
screenshot() { mkdir -p "$BUILD_DIR/screenshots" && import -window "$1" "$BUILD_DIR/screenshots/$2.png" 2>/dev/null; }
