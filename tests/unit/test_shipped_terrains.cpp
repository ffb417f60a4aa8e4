#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/match.h"
#include "core/state.h"
#include "sim/update.h"

// Every terrain we ship must play: a ball rolls under its keys, can be
// knocked off the edge, is scored and drops back in.
namespace
{

constexpr float kFrame = 1.0f / 60.0f;

class ShippedTerrain : public ::testing::TestWithParam<int>
{
  protected:
    static void SetUpTestSuite()
    {
        ::testing::internal::CaptureStdout();
        bool ok = loadTerrains(QUORBLY_DATA_DIR "/terrains");
        ::testing::internal::GetCapturedStdout();
        ASSERT_TRUE(ok);
    }

    void SetUp() override
    {
        ASSERT_LT(GetParam(), numTerrains);
        resetGameState();
        std::srand(1234u + static_cast<unsigned>(GetParam()));
        terrain = &terrains[GetParam()];
        std::FILE *quiet = std::fopen("/dev/null", "w");
        generateHeightMap(heightmap.data(), *terrain, quiet);
        std::fclose(quiet);
        setupPlayers();
        beginMatch();
        nextPowerupSpawn = 1e6f; // keep powerups out of the way
    }

    // Runs frames until `done` holds or `seconds` of play have passed.
    template <typename Done> bool runUntil(float seconds, Done done)
    {
        for (float t = 0; t < seconds; t += kFrame) {
            update(kFrame);
            if (done())
                return true;
        }
        return false;
    }

    void placeOnGround(Player &p, float x, float z, vector velocity)
    {
        p.x = x;
        p.z = z;
        p.y = getRealHeight(heightmap.data(), x, z);
        p.velocity = velocity;
        p.grounded = 1;
        p.spawning = 0;
    }
};

TEST_P(ShippedTerrain, BallsRollGetKnockedOffAndDropBackIn)
{
    SCOPED_TRACE(terrain->name.data());
    ASSERT_TRUE(runUntil(10.0f, [] { return players[0].grounded && players[1].grounded; }))
        << "the balls never landed";

    Player &p1 = players[0];
    Player &p2 = players[1];
    float x0 = p1.x, z0 = p1.z;
    p1.pressx = -1;
    runUntil(1.0f, [] { return false; });
    p1.pressx = 0;
    EXPECT_GT(std::hypot(p1.x - x0, p1.z - z0), 0.5f) << "player 1 did not roll";

    // Player 2 rams player 1 near the edge; on a hillside either ball may be
    // the one that flies off, and the fallen one is scored and drops back in.
    placeOnGround(p1, 13.6f, 7.5f, {0, 0, 0});
    placeOnGround(p2, 12.8f, 7.5f, {6.0f, 0, 0});
    p2.pressx = 1;
    float hitAt = lastCollisionTime;
    ASSERT_TRUE(runUntil(8.0f, [] { return players[0].score + players[1].score == 1; }))
        << "nobody was knocked off and scored";
    EXPECT_NE(lastCollisionTime, hitAt) << "the balls never hit";
    p2.pressx = 0;
    int fallen = players[1].score == 1 ? 0 : 1;
    Player &lost = players[fallen];
    EXPECT_EQ(lost.spawning, 1);
    EXPECT_GT(lost.y, 5.0f);
    EXPECT_STREQ(messages[fallen].text.data(), "har har");
    EXPECT_TRUE(runUntil(8.0f, [&] { return lost.grounded && !lost.spawning; }))
        << "the lost ball never landed after its respawn";
    EXPECT_TRUE(playerInRange(heightmap.data(), lost));
}

INSTANTIATE_TEST_SUITE_P(All, ShippedTerrain, ::testing::Range(0, 10));

TEST(ShippedTerrains, TenDistinctNamedDefinitions)
{
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(loadTerrains(QUORBLY_DATA_DIR "/terrains"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), ""); // no line skipped
    ASSERT_EQ(numTerrains, 10);
    for (int i = 0; i < numTerrains; ++i)
        for (int j = i + 1; j < numTerrains; ++j)
            EXPECT_STRNE(terrains[i].name.data(), terrains[j].name.data());
}

} // namespace
