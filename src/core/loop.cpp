// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/loop.h"

void quit()
{
    quit_flag = 1;
}

float elapsedSeconds(std::uint32_t now, std::uint32_t last)
{
    std::uint32_t ms = now - last;
    return static_cast<float>(static_cast<double>(ms) * 0.001);
}

void startFrameCount(std::uint32_t now)
{
    fps = 0;
    frame_count = 0;
    frame_time = now;
}

void countFrame(std::uint32_t now)
{
    frame_count += 1;
    std::uint32_t window = now - frame_time;
    if (window > 1000) {
        fps = static_cast<int>(static_cast<std::uint32_t>(frame_count) * 1000u / window);
        frame_count = 0;
        frame_time = now;
    }
}
