#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# peak_rss_mb: the largest resident size of the shipped game over a start, a
# minute of play with the bot driving player 2 (player 1 steered now and
# then by xdotool), and a quit with Escape. Needs an X display (run it under
# xvfb-run) and xdotool.
#   bench/run-game-figures.sh QUORBLY_BIN DATA_DIR [SECONDS]
set -u
game="$(realpath "$1")"
data="$2"
seconds="${3:-60}"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"

work="$(mktemp -d /tmp/quorbly-bench.XXXXXX)"
pid=""
finish() {
  [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT

# A loaded X server now and then refuses a new client: start again then.
window=""
for _ in 1 2 3 4 5 6 7 8 9 10; do
  (cd "$data" && exec "$game" >"$work/out.txt" 2>"$work/err.txt") &
  pid=$!
  for _ in $(seq 1 150); do
    window=$(xdotool search --name '^Quorbly$' 2>/dev/null | head -1)
    [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  [ -n "$window" ] && break
  wait "$pid" 2>/dev/null
  pid=""
  sleep 1
done
if [ -z "$window" ]; then
  echo "# peak_rss_mb skipped: the game opened no window"
  exit 0
fi

# Resident high-water mark so far, in kB (it only ever grows).
peak=0
sample() {
  local kb
  kb=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status" 2>/dev/null)
  [ -n "$kb" ] && [ "$kb" -gt "$peak" ] && peak=$kb
  return 0
}

# No window manager: the keyboard focus follows the pointer.
xdotool mousemove --window "$window" 400 300
sleep 0.3
xdotool key F4
keys=(Up Left Down Right)
for second in $(seq 1 "$seconds"); do
  sample
  if [ $((second % 3)) -eq 0 ]; then
    key=${keys[$(((second / 3) % 4))]}
    xdotool keydown "$key"
    sleep 1
    xdotool keyup "$key"
  else
    sleep 1
  fi
done
sample
xdotool key Escape
# Until it has gone: the quit counts too.
status=timeout
for _ in $(seq 1 300); do
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid"
    status=$?
    pid=""
    break
  fi
  sample
  sleep 0.1
done

echo "# peak resident size over start, ${seconds} s of bot play and quit (exit status $status)"
awk -v kb="$peak" 'BEGIN { printf "peak_rss_mb %.1f\n", kb / 1024 }'
