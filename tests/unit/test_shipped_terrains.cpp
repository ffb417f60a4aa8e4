// SPDX-License-Identifier: GPL-3.0-or-later
// Every terrain we ship must play: a ball rolls under its keys, can be
// knocked off the edge, is scored and drops back in.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/match.h"
#include "core/random.h"
#include "core/state.h"
#include "sim/update.h"

namespace
{

// Runs frames until `done` holds or `seconds` of play have passed.
template <typename Done> bool runUntil(float seconds, Done done)
{
    for (float t = 0; t < seconds; t += 1.0f / 60) {
        update(1.0f / 60);
        if (done())
            return true;
    }
    return false;
}

void placeOnGround(Player &p, float x, float vx)
{
    p.x = x;
    p.z = 7.5f;
    p.y = getRealHeight(heightmap.data(), x, p.z);
    p.velocity = {vx, 0, 0};
    p.grounded = 1;
    p.spawning = 0;
}

TEST(ShippedTerrains, TenDistinctDefinitionsThatAllPlay)
{
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(loadTerrains(QUORBLY_DATA_DIR "/terrains"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), ""); // no line skipped
    ASSERT_EQ(numTerrains, 10);
    std::vector<Terrain> shipped = terrains;
    for (std::size_t i = 0; i < shipped.size(); ++i) {
        Terrain &t = shipped[i];
        SCOPED_TRACE(t.name.data());
        for (std::size_t j = i + 1; j < shipped.size(); ++j)
            EXPECT_STRNE(t.name.data(), shipped[j].name.data());
        resetGameState();
        seedGameRand(1234u + static_cast<unsigned>(i));
        terrain = &t;
        std::FILE *quiet = std::fopen("/dev/null", "w");
        generateHeightMap(heightmap.data(), t, quiet);
        std::fclose(quiet);
        setupPlayers();
        beginMatch();
        nextPowerupSpawn = 1e6f; // keep powerups out of the way
        Player &p1 = players[0], &p2 = players[1];
        ASSERT_TRUE(runUntil(10, [&] { return p1.grounded && p2.grounded; })) << "never landed";
        const float x0 = p1.x, z0 = p1.z;
        p1.pressx = -1;
        runUntil(1, [] { return false; });
        p1.pressx = 0;
        EXPECT_GT(std::hypot(p1.x - x0, p1.z - z0), 0.5f) << "player 1 did not roll";

        // Player 2 rams player 1 near the edge; on a hillside either ball may
        // fly off, and the fallen one is scored and drops back in.
        placeOnGround(p1, 13.6f, 0);
        placeOnGround(p2, 12.8f, 6);
        p2.pressx = 1;
        const float hitAt = lastCollisionTime;
        ASSERT_TRUE(runUntil(8, [&] { return p1.score + p2.score == 1; })) << "nobody scored";
        EXPECT_NE(lastCollisionTime, hitAt) << "the balls never hit";
        p2.pressx = 0;
        const int fallen = p2.score == 1 ? 0 : 1;
        Player &lost = players[fallen];
        EXPECT_TRUE(lost.spawning == 1 && lost.y > 5.0f);
        EXPECT_STREQ(messages[fallen].text.data(), "har har");
        EXPECT_TRUE(runUntil(8, [&] { return lost.grounded && !lost.spawning; }))
            << "the lost ball never landed after its respawn";
        EXPECT_TRUE(playerInRange(heightmap.data(), lost));
    }
    destroyTerrains();
}

} // namespace
