// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

// quorbly-bench prints one figure a line, "key value", each value the median
// of repeated runs. A figure routine per subsystem; main calls them in turn.
namespace bench
{

struct Context {
    std::string terrainsFile; // the definitions file to measure on
    bool gl = false;          // a window with a GL context is open
    bool frameParts = false;  // --frame-parts: only the frames for callgrind
};

void figure(const char *key, double value);
// A line that is not a figure ("# ..."): what was skipped and why.
void note(const std::string &text);

// Median milliseconds of `runs` calls of f, after one untimed warm-up call.
template <class F> double medianMs(int runs, F &&f)
{
    f();
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        const auto start = std::chrono::steady_clock::now();
        f();
        const auto stop = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Sends standard output to /dev/null while alive: the game's progress dots
// must not mix with the figures.
class QuietStdout
{
  public:
    QuietStdout();
    ~QuietStdout();
    QuietStdout(const QuietStdout &) = delete;
    QuietStdout &operator=(const QuietStdout &) = delete;

  private:
    int saved_ = -1;
};

void terrainFigures(const Context &ctx);
// update_us, frame_ms, frame_terrain_ms, frame_overhead: a match in full swing.
void gameFigures(const Context &ctx);
// startup_ms: the shipped game, from exec to its first swapped frame.
void startupFigures(const Context &ctx);
// replay_speed, replay_speed_process: the golden matches played headless,
// recorded seconds per wall second; replay_seek_ms: the slowest seek in ten
// minutes of them end to end, and what one snapshot costs (snapshot_copy_us,
// snapshot_save_us as saveState's bytes). Before the window opens: headless.
void replayFigures(const Context &ctx);

} // namespace bench
