#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The deep stage, after scripts/test.sh: a million frames of the soak on the
# plain build, and its GL, end-to-end and golden tiers on sdl12-compat
# (scripts/test-compat.sh); then everything built with clang under AddressSanitizer,
# LeakSanitizer and UndefinedBehaviorSanitizer into build-asan/: five
# minutes of the real game with random keys, each fuzz target for a fixed
# 30 seconds over its seed corpus, the sound tests under ThreadSanitizer
# (build-tsan/), and then every test of the suite. Any sanitizer report
# fails the run, and the last line is CTest's summary.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-asan"
soak_seconds=300
fuzz_seconds=30

bash "$root/scripts/build.sh" "$root/build"
echo "== a million frames of the soak"
QUORBLY_SOAK_FRAMES=1000000 ctest --test-dir "$root/build" --output-on-failure -L soak
bash "$root/scripts/test-compat.sh"

sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORBLY_FUZZ=ON -DCMAKE_C_FLAGS="$sanitize" -DCMAKE_CXX_FLAGS="$sanitize" >/dev/null
cmake --build "$build" -j"$(nproc)"

# Leaks are reported at exit; only those inside the GL driver and the X
# libraries are suppressed, by name (tests/lsan.supp). The GL driver unloads
# itself when the window closes, which would leave its leaks nameless, so
# every library is kept loaded (tests/keep_loaded.c).
clang -shared -fPIC -o "$build/libkeep-loaded.so" "$root/tests/keep_loaded.c"
export LD_PRELOAD="$build/libkeep-loaded.so"
export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export SDL_AUDIODRIVER=dummy

echo "== ${soak_seconds} s of the real game with random keys under ASan, LSan and UBSan"
QUORBLY_SOAK_SECONDS=$soak_seconds xvfb-run -a -s "-noreset -screen 0 1280x1024x24" \
  bash "$root/tests/e2e/test_soak.sh" "$build/quorbly" "$root/data" \
  "$build/tests/wm-delete" "$build"

echo "== each fuzz target for ${fuzz_seconds} s"
for target in terrains obj update replay netproto; do
  # New inputs go to a scratch directory; the committed corpus is only read.
  scratch="$(mktemp -d /tmp/quorbly-fuzz.XXXXXX)"
  mkdir -p "$build/fuzz-findings"
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$fuzz_seconds" -timeout=25 \
      -artifact_prefix="$build/fuzz-findings/$target-" -print_final_stats=1 \
      "$scratch" "$root/fuzz/corpus/$target" >"$build/fuzz-$target.log" 2>&1; then
    tail -60 "$build/fuzz-$target.log"
    rm -rf "$scratch"
    echo "fuzz_$target found a fault; the input is in $build/fuzz-findings/"
    exit 1
  fi
  rm -rf "$scratch"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/fuzz-$target.log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$build/fuzz-$target.log")
  echo "fuzz_$target: ${runs:-?} runs, ${speed:-?} per second, no finding"
done

# The music decoder, the mixer's thread and the game's thread share the
# sound module: its tests run once more under ThreadSanitizer.
echo "== the sound tests under ThreadSanitizer"
tsan="-fsanitize=thread -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS="$tsan" -DCMAKE_CXX_FLAGS="$tsan" >/dev/null
cmake --build "$root/build-tsan" -j"$(nproc)" --target audio_test_sound
# The generator's byte-for-byte check needs its tool, and has no threads of
# the game's: the plain and the ASan runs make it.
LD_PRELOAD="" TSAN_OPTIONS="halt_on_error=1" "$root/build-tsan/tests/audio_test_sound" \
  --gtest_brief=1 --gtest_filter=-SoundGenerator.*

# The package test checks the release build's Debian dependencies, which a
# sanitizer build does not have; it runs in the plain run.
echo "== the test suite under ASan, LSan and UBSan"
xvfb-run -a -s "-noreset -screen 0 1280x1024x24" \
  ctest --test-dir "$build" --output-on-failure -j2 -E '^e2e_test_package$'
