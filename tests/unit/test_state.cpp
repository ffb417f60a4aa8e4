// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>

#include "core/match.h"
#include "core/random.h"
#include "core/state.h"
#include "render/model.h"
#include "sim/update.h"

namespace
{

constexpr float kStep = 1.0f / 60.0f;

// A hilly match, the bot against keys drawn from rand().
class GameStateTest : public ::testing::Test
{
  protected:
    Terrain hills{};

    void SetUp() override
    {
        resetGameState();
        seedGameRand(3);
        hills.circlesPerCell = 0.002f;
        hills.circleSizeMin = 10;
        hills.circleSizeMax = 40;
        hills.circleHeight = 60;
        hills.circleHeightFactor = 0.9f;
        hills.gravity = 9.81f;
        hills.friction = 1.5f;
        terrain = &hills;
        std::FILE *quiet = std::fopen("/dev/null", "w");
        generateHeightMap(heightmap.data(), hills, quiet);
        std::fclose(quiet);
        setupPlayers();
        beginMatch();
        toggleBot = 1;
    }

    static void play(int frames)
    {
        for (int f = 0; f < frames; ++f) {
            if (f % 20 == 0) {
                players[0].pressx = gameRand() % 3 - 1;
                players[0].pressy = gameRand() % 3 - 1;
            }
            update(kStep);
        }
    }
};

TEST_F(GameStateTest, OneResetAndOneSnapshotCoverEverything)
{
    play(300);
    const MatchState snapshot = game.match;
    seedGameRand(9);
    play(900);
    const MatchState after = game.match;
    ASSERT_FALSE(after == snapshot);

    game.match = snapshot;
    seedGameRand(9);
    play(900);
    EXPECT_TRUE(game.match == after) << "a restored snapshot replays the same frames";

    // A record of the play puts back every field of play of the session.
    SessionState &s = game.session;
    s.toggleBulletTime = s.toggleSuperSizeMe = s.togglePause = s.toggleBot = 1;
    s.terrainCurrent = s.oldTerrain = s.oldTerrain2 = s.terrainChosenNext = 2;
    s.seed = s.queuedNoiseSeed = s.matchesStarted = 5;
    s.noiseSeedQueued = true;
    s.scale = 3;
    const GameState before = game;
    const PlayRecord play = takePlay();
    resetGameState();
    putPlay(play);
    EXPECT_TRUE(game.match == before.match && game.session == before.session);

    resetGameState();
    EXPECT_TRUE(game == GameState{});
}

// The light, the powerup's colours, the figures' feet and the winner's orbit.
std::array<float, 4> clocks()
{
    return {lightTime, ticker, rate, sceneRot};
}

// The game's generator draws the C library's rand() sequence from the same
// seeds, and a library that calls rand() in the middle of play changes
// nothing of it.
TEST_F(GameStateTest, TheGamesRandDrawsTheLibrarysSequenceAndNobodyElseMovesIt)
{
    for (std::uint32_t seed : {0u, 1u, 2u, 2024u, 2147483647u, 2147483648u, 4294967295u}) {
        std::srand(seed);
        seedGameRand(seed);
        for (int i = 0; i < 1000; ++i)
            ASSERT_EQ(gameRand(), std::rand()) << "seed " << seed << ", draw " << i;
    }
    EXPECT_TRUE(MatchState{}.random == seededRandom(1)) << "unseeded, it draws as after srand(1)";

    const MatchState start = game.match;
    play(600);
    const MatchState alone = game.match;
    game.match = start;
    for (int i = 0; i < 30; ++i) {
        std::rand();
        play(20);
    }
    EXPECT_TRUE(game.match == alone);
}

TEST_F(GameStateTest, FloatClocksAddUpAsFloatSumsAndNeverStandStill)
{
    heightmap.fill(50);
    toggleBot = 0;
    toggleLightMovement = 1;
    endGame = 1;
    nextPowerupSpawn = 1e6f;
    spawnPowerup(&powerup, 1, 0.5f, 1);
    powerup.grounded = 1;

    std::array<float, 4> sums = clocks();
    for (int f = 0; f < 3000; ++f) {
        update(kStep);
        sums[0] += kStep;
        sums[1] += kStep;
        sums[2] += kStep * 1000;
        sums[3] += kStep * 20;
    }
    EXPECT_EQ(clocks(), sums);

    // Hours on at a thousand frames a second: each step is below half a float step.
    lightTime = ticker = 1e5f;
    rate = 3e7f;
    sceneRot = 1e6f;
    const std::array<float, 4> start = clocks();
    for (int f = 0; f < 1000; ++f)
        update(0.0009f);
    const std::array<float, 4> expected{0.9f, 0.9f, 900, 18};
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(clocks()[i] - start[i], expected[i], expected[i] * 0.01f) << i;
}

} // namespace
