#include <gtest/gtest.h>

#include <cstdint>

#include "core/loop.h"

namespace
{

TEST(FrameLoop, ElapsedSecondsFromTicks)
{
    EXPECT_FLOAT_EQ(elapsedSeconds(1016, 1000), 0.016f);
    EXPECT_EQ(elapsedSeconds(1016, 1000), static_cast<float>(16.0 * 0.001));
    EXPECT_EQ(elapsedSeconds(5, 5), 0.0f);
    // The tick counter wraps after 49.7 days; the difference stays small.
    EXPECT_FLOAT_EQ(elapsedSeconds(10u, 0xFFFFFFF6u), 0.020f);
}

TEST(FrameLoop, FramesPerSecondWindow)
{
    startFrameCount(1000);
    EXPECT_EQ(fps, 0);
    for (int i = 0; i < 60; ++i)
        countFrame(1000 + static_cast<std::uint32_t>(i) * 16);
    EXPECT_EQ(fps, 0); // the first second shows 0
    // A window of exactly 1000 ms is not yet closed.
    countFrame(2000);
    EXPECT_EQ(fps, 0);
    EXPECT_EQ(frame_count, 61);
    countFrame(2001); // 62 frames over 1001 ms
    EXPECT_EQ(fps, 61);
    EXPECT_EQ(frame_count, 0);
    EXPECT_EQ(frame_time, 2001u);
}

TEST(FrameLoop, SixtyOneFramesOverOneThousandAndOneMilliseconds)
{
    startFrameCount(500);
    for (int i = 0; i < 60; ++i)
        countFrame(500 + static_cast<std::uint32_t>(i));
    countFrame(1501);
    EXPECT_EQ(fps, 60); // 61 * 1000 / 1001, truncated
}

TEST(FrameLoop, WindowAcrossTheTickWrap)
{
    startFrameCount(0xFFFFFF00u);
    for (int i = 0; i < 29; ++i)
        countFrame(0xFFFFFF00u + static_cast<std::uint32_t>(i));
    countFrame(0xFFFFFF00u + 2000u); // wraps past zero
    EXPECT_EQ(fps, 15);              // 30 frames over 2000 ms
}

TEST(FrameLoop, QuitSetsTheFlag)
{
    quit_flag = 0;
    quit();
    EXPECT_EQ(quit_flag, 1);
    quit_flag = 0;
}

} // namespace
