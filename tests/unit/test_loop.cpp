// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "core/loop.h"

namespace
{

TEST(FrameLoop, SecondsAndFramesPerSecondFromTicksAcrossTheWrap)
{
    EXPECT_EQ(elapsedSeconds(1016, 1000), static_cast<float>(16 * 0.001));
    EXPECT_EQ(elapsedSeconds(10u, 0xFFFFFFF6u), static_cast<float>(20 * 0.001));
    for (std::uint32_t start : {1000u, 0xFFFFFE00u}) {
        startFrameCount(start);
        for (std::uint32_t i = 0; i < 60; ++i)
            countFrame(start + i * 16);
        countFrame(start + 1000); // a window of exactly 1000 ms is still open
        EXPECT_EQ(fps, 0);
        countFrame(start + 1001); // 62 frames over 1001 ms
        EXPECT_EQ(fps, 61);
        EXPECT_EQ(frame_count, 0);
    }
    quit();
    EXPECT_EQ(quit_flag, 1);
    quit_flag = 0;
}

} // namespace
