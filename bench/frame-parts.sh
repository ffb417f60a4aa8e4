#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Where a frame's work goes, in instructions (callgrind counts them the same
# on every run, however busy the machine): the full mid-match frame of
# quorbly-bench, then without the sparks, the HUD, the figures, and the
# terrain list alone. The software renderer rasterises on the calling thread
# here (LP_NUM_THREADS=0) so that all of its work is counted. Needs an X
# display (run it under xvfb-run) and valgrind; takes a minute or two.
#   bench/frame-parts.sh QUORBLY_BENCH DATA_DIR
set -euo pipefail
bench="$(realpath "$1")"
data="$2"
out="$(mktemp /tmp/quorbly-frame-parts.XXXXXX)"
trap 'rm -f "$out"' EXIT
(cd "$data" && LP_NUM_THREADS=0 valgrind --tool=callgrind --callgrind-out-file="$out" \
  --collect-atstart=no --toggle-collect='*::framePart*' "$bench" --frame-parts >/dev/null 2>&1)
callgrind_annotate --inclusive=yes "$out" 2>/dev/null | awk '
  /\(anonymous namespace\)::framePart[A-Za-z]+\(\)/ {
    n = $1; gsub(",", "", n)
    match($0, /framePart[A-Za-z]+/); name = substr($0, RSTART, RLENGTH)
    if (!(name in count)) count[name] = n / 4 # kPartFrames
  }
  END {
    full = count["framePartFull"]; sparks = count["framePartNoSparks"]; hud = count["framePartNoHud"]
    figures = count["framePartNoFigures"]; terrain = count["framePartTerrain"]
    if (!full || !terrain) { print "# frame parts: no counts (is valgrind there?)"; exit 1 }
    printf "frame_instructions_m %.1f\n", full / 1e6
    printf "frame_terrain_instructions_m %.1f\n", terrain / 1e6
    printf "frame_overhead_instructions %.3f\n", full / terrain
    printf "frame_part_sparks_m %.1f\n", (full - sparks) / 1e6
    printf "frame_part_hud_m %.1f\n", (sparks - hud) / 1e6
    printf "frame_part_figures_m %.1f\n", (hud - figures) / 1e6
    printf "frame_part_bookkeeping_m %.1f\n", (figures - terrain) / 1e6
  }'
