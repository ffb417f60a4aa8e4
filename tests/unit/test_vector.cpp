#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/vector.h"

namespace
{

bool sameBits(vector a, vector b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(Vector, ArithmeticComponentWise)
{
    vector v = getVector(1, 2, 3, 4, 6, 8);
    EXPECT_TRUE(sameBits(v, vector{3, 4, 5}));
    EXPECT_FLOAT_EQ(magnitude(v), std::sqrt(50.0f));
    EXPECT_TRUE(sameBits(sumVectors({1, 2, 3}, {0.5f, -2, 10}), vector{1.5f, 0, 13}));
    EXPECT_TRUE(sameBits(subVectors({1, 2, 3}, {0.5f, -2, 10}), vector{0.5f, 4, -7}));
    EXPECT_TRUE(sameBits(multiply({1, -2, 3}, -2), vector{-2, 4, -6}));
    EXPECT_TRUE(sameBits(negative({1, -2, 0}), vector{-1, 2, -0.0f}));
    EXPECT_FLOAT_EQ(dotProduct({1, 2, 3}, {4, -5, 6}), 12.0f);
}

TEST(Vector, CrossProductFollowsTheRightHand)
{
    EXPECT_TRUE(sameBits(crossProduct({1, 0, 0}, {0, 1, 0}), vector{0, 0, 1}));
    EXPECT_TRUE(sameBits(crossProduct({0, 1, 0}, {1, 0, 0}), vector{0, 0, -1}));
    EXPECT_TRUE(sameBits(crossProduct({0, 0, 1}, {1, 0, 0}), vector{0, 1, 0}));
}

TEST(Vector, MagnitudeTakesTheRootInDouble)
{
    vector v{0.1f, 0.2f, 0.3f};
    float sq = v.x * v.x + v.y * v.y + v.z * v.z;
    EXPECT_EQ(magnitude(v), static_cast<float>(std::sqrt(static_cast<double>(sq))));
}

TEST(Vector, NormaliseKeepsZeroAndScalesTheRest)
{
    EXPECT_TRUE(sameBits(normalise({0, 0, 0}), vector{0, 0, 0}));
    vector n = normalise({3, 0, 4});
    EXPECT_FLOAT_EQ(n.x, 0.6f);
    EXPECT_FLOAT_EQ(n.z, 0.8f);
    EXPECT_FALSE(std::isnan(normalise({0, 0, 0}).x));
}

TEST(Vector, LimitCutsOnlyLongerVectors)
{
    vector v{3, 4, 0};
    EXPECT_TRUE(sameBits(limit(v, 5.0f), v)); // exactly as long: the very same bits
    EXPECT_TRUE(sameBits(limit(v, 6.0f), v));
    vector cut = limit(v, 2.5f);
    EXPECT_FLOAT_EQ(cut.x, 1.5f);
    EXPECT_FLOAT_EQ(cut.y, 2.0f);
    EXPECT_TRUE(sameBits(limit({0, 0, 0}, 0.0f), vector{0, 0, 0}));
    EXPECT_TRUE(sameBits(limit({0, 0, 0}, 3.0f), vector{0, 0, 0}));
    // A cap of zero stops any motion (used to zero a respawned ball).
    EXPECT_EQ(magnitude(limit({1, -2, 3}, 0.0f)), 0.0f);
}

} // namespace
