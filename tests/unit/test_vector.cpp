// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>

#include "core/vector.h"

namespace
{

bool same(vector a, vector b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(Vector, ArithmeticBitForBit)
{
    const vector a{1, 2, 3}, b{4, -5, 6};
    EXPECT_TRUE(same(getVector(1, 2, 3, 4, 6, 8), {3, 4, 5}));
    EXPECT_TRUE(same(sumVectors(a, b), {5, -3, 9}));
    EXPECT_TRUE(same(subVectors(a, b), {-3, 7, -3}));
    EXPECT_TRUE(same(multiply(a, -2), {-2, -4, -6}));
    EXPECT_TRUE(same(negative({1, -2, 0}), {-1, 2, -0.0f}));
    EXPECT_TRUE(same(crossProduct(a, b), {27, 6, -13}));
    EXPECT_EQ(dotProduct(a, b), 12.0f);
    EXPECT_EQ(magnitude({3, 4, 12}), 13.0f);
    EXPECT_TRUE(same(normalise({3, 0, 4}), {0.6f, 0, 0.8f}));
    EXPECT_TRUE(same(normalise({0, 0, 0}), {0, 0, 0})); // no NaN from a zero length
    // limit cuts only what is longer; exactly as long keeps the very bits.
    EXPECT_TRUE(same(limit({3, 4, 0}, 5), {3, 4, 0}));
    EXPECT_TRUE(same(limit({0.1f, 0.2f, 0.3f}, magnitude({0.1f, 0.2f, 0.3f})), {0.1f, 0.2f, 0.3f}));
    EXPECT_TRUE(same(limit({3, 4, 0}, 2.5f), {1.5f, 2, 0}));
    EXPECT_EQ(magnitude(limit({1, -2, 3}, 0)), 0.0f);
}

} // namespace
