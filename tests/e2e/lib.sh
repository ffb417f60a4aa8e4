# Shared helpers of the end-to-end tests: the real game in a scratch working
# directory under the test run's X server.
# Arguments of every test: QUORBLY_BIN DATA_DIR WM_DELETE BUILD_DIR
set -u
QUORBLY_BIN="$1"
DATA_DIR="$2"
WM_DELETE="$3"
BUILD_DIR="$4"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"

WORK="$(mktemp -d /tmp/quorbly-e2e.XXXXXX)"
GAME_PID=""
cleanup_e2e() {
  if [ -n "$GAME_PID" ] && kill -0 "$GAME_PID" 2>/dev/null; then
    kill -9 "$GAME_PID" 2>/dev/null
  fi
  rm -rf "$WORK"
}
trap cleanup_e2e EXIT

fail() { echo "FAIL: $*"; [ -f "$WORK/out.txt" ] && { echo "--- stdout"; tail -20 "$WORK/out.txt"; }; [ -f "$WORK/err.txt" ] && { echo "--- stderr"; tail -20 "$WORK/err.txt"; }; exit 1; }

copy_data() { cp -r "$DATA_DIR/." "$WORK/"; }

start_game() {
  # An X server started without -noreset refuses clients for a moment while
  # it resets after its last client left; that is the test machine, not the
  # game, so start again (scripts/test.sh passes -noreset).
  for _ in 1 2 3 4 5; do
    (cd "$WORK" && exec "$QUORBLY_BIN" "$@" >"$WORK/out.txt" 2>"$WORK/err.txt") &
    GAME_PID=$!
    sleep 0.5
    if ! kill -0 "$GAME_PID" 2>/dev/null && grep -q "Couldn't open X11 display" "$WORK/err.txt"; then
      wait "$GAME_PID" 2>/dev/null
      sleep 1
      continue
    fi
    return 0
  done
}

# Waits for the game's window and prints its id.
find_window() {
  local id=""
  for _ in $(seq 1 300); do
    id=$(xdotool search --name '^Quorbly$' 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$GAME_PID" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}

# Puts the pointer into the window (no window manager: focus follows it).
focus_window() { xdotool mousemove --window "$1" 100 100; sleep 0.3; }

# Waits up to $1 seconds for the game to end; leaves its exit status in STATUS.
wait_exit() {
  local limit=$(( $1 * 10 ))
  STATUS=timeout
  for _ in $(seq 1 "$limit"); do
    if ! kill -0 "$GAME_PID" 2>/dev/null; then
      wait "$GAME_PID"; STATUS=$?; GAME_PID=""; return 0
    fi
    sleep 0.1
  done
}

# Waits until the game has printed the line that follows the first match's set-up.
wait_for_output() {
  for _ in $(seq 1 300); do
    grep -q "$1" "$WORK/out.txt" 2>/dev/null && return 0
    sleep 0.2
  done
  return 1
}

screenshot() {
  mkdir -p "$BUILD_DIR/screenshots"
  import -window "$1" "$BUILD_DIR/screenshots/$2.png" 2>/dev/null || true
}
