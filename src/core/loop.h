// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The frame loop's bookkeeping: the quit request, elapsed time and the frame
// rate. The clock is passed in, so the arithmetic is exact and testable.

#include <cstdint>

// Fields of game.session (core/state.h).
extern int &quit_flag;
extern int &fps;
extern int &frame_count;
extern std::uint32_t &frame_time;

// Asks the loop to stop after the current iteration.
void quit();

// Seconds between two millisecond tick counts (unsigned, so the counter's
// wrap after 49.7 days still gives the right small difference).
float elapsedSeconds(std::uint32_t now, std::uint32_t last);

// Starts a new frame-rate window at `now` with fps 0.
void startFrameCount(std::uint32_t now);
// Counts one drawn frame; closes the window once more than 1000 ms passed.
void countFrame(std::uint32_t now);
