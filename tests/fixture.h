// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The one start of the rules' tests: the program-start state (resetAll) on a
// flat field of the test's own, both balls grounded at their start places.

#include <gtest/gtest.h>

#include "play_driver.h"

inline void expectNear(vector got, vector want, float within = 1e-5f)
{
    EXPECT_NEAR(got.x, want.x, within);
    EXPECT_NEAR(got.y, want.y, within);
    EXPECT_NEAR(got.z, want.z, within);
}

class Sim : public ::testing::Test
{
  protected:
    Terrain field{};
    void SetUp() override
    {
        resetAll();
        field.gravity = 10;
        field.friction = 2;
        terrain = &field;
        setupPlayers();
        for (Player &p : players) {
            p.y = 0;
            p.grounded = 1;
            p.spawning = 0;
        }
        nextPowerupSpawn = 1000; // no powerup unless the test drops one
    }
};
