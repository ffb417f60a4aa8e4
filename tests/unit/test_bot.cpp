#include <gtest/gtest.h>

#include "core/state.h"
#include "sim/bot.h"

namespace
{

class Bot : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        resetGameState();
        toggleBot = 1;
        place(players[0], 10, 0, 10);
        place(players[1], 2, 0, 2);
    }
    static void place(Player &p, float x, float y, float z)
    {
        p.x = x;
        p.y = y;
        p.z = z;
        p.radius = 0.25f;
        p.spawning = 0;
    }
    static void landedPowerup(float x, float y, float z)
    {
        powerup.active = 1;
        powerup.grounded = 1;
        powerup.x = x;
        powerup.y = y;
        powerup.z = z;
    }
    static void expectKeys(int px, int py)
    {
        updateBot();
        EXPECT_EQ(players[1].pressx, px);
        EXPECT_EQ(players[1].pressy, py);
    }
};

TEST_F(Bot, ChasesTheHumanInEightDirections)
{
    expectKeys(1, -1);
    place(players[1], 12, 0, 12);
    expectKeys(-1, 1);
    place(players[1], 10, 0, 3); // level in x
    expectKeys(0, -1);
    place(players[1], 3, 0, 10); // level in z
    expectKeys(1, 0);
}

TEST_F(Bot, OverwritesHeldKeysEveryFrame)
{
    players[1].pressx = -2;
    players[1].pressy = 3;
    expectKeys(1, -1);
}

TEST_F(Bot, DoesNothingWhenSwitchedOff)
{
    toggleBot = 0;
    players[1].pressx = -1;
    players[1].pressy = 1;
    expectKeys(-1, 1);
}

TEST_F(Bot, IdlesOnceTheMatchIsOver)
{
    endGame = 1;
    players[1].pressx = 1;
    players[1].pressy = 1;
    landedPowerup(2.5f, 0, 2.5f);
    expectKeys(0, 0);
}

TEST_F(Bot, GoesForALandedPowerupThatIsNearer)
{
    landedPowerup(1, 0, 4);
    expectKeys(-1, -1);
}

TEST_F(Bot, IgnoresAFallingPowerup)
{
    landedPowerup(2.1f, 0.3f, 2.1f);
    powerup.grounded = 0;
    expectKeys(1, -1);
}

TEST_F(Bot, IgnoresAnInactivePowerup)
{
    landedPowerup(2.1f, 0, 1.9f);
    powerup.active = 0;
    expectKeys(1, -1);
}

// Nearness is measured on the ground plane, over x and z.
TEST_F(Bot, FarPowerupAcrossTheFieldInZIsNotNearer)
{
    place(players[1], 5, 0, 2);
    place(players[0], 6, 0.5f, 3);
    landedPowerup(5, 0, 14); // same x and height as the bot, 12 away in z
    expectKeys(1, -1);       // the human, not (0, -1) toward the powerup
}

TEST_F(Bot, PowerupUpAHillButCloseOnTheGroundIsNearer)
{
    place(players[0], 3, 0, 2);
    landedPowerup(2, 2.0f, 2.5f); // 0.5 away on the ground, 2 up
    expectKeys(0, -1);
}

TEST_F(Bot, NearPowerupBeatsAHumanFarAwayInZ)
{
    place(players[0], 2, 0, 14);
    landedPowerup(4, 0, 4);
    expectKeys(1, -1);
}

TEST_F(Bot, EqualDistancesDoNotCountAsNearer)
{
    place(players[0], 5, 0, 2);
    landedPowerup(2, 0, 5);
    expectKeys(1, 0);
}

TEST_F(Bot, HumanOffTheSquareSendsItToAnyLandedPowerup)
{
    place(players[0], 16, -3, 7);
    landedPowerup(14, 0, 13);
    expectKeys(1, -1);
}

TEST_F(Bot, HumanOffTheSquareWithoutPowerupMeansKeepingOffTheEdges)
{
    place(players[0], -1, -5, 7);
    place(players[1], 7, 0, 7);
    expectKeys(0, 0);
    place(players[1], 14.5f, 0, 7);
    expectKeys(-1, 0);
    place(players[1], 0.5f, 0, 14.5f);
    expectKeys(1, 1);
    place(players[1], 7, 0, 0.5f);
    expectKeys(0, -1);
    place(players[1], 14.25f, 0, 0.75f); // the margins themselves are safe
    expectKeys(0, 0);
    place(players[1], 0.75f, 0, 14.25f);
    expectKeys(0, 0);
}

TEST_F(Bot, DoesNotChaseASpawningHuman)
{
    players[0].spawning = 1;
    expectKeys(0, 0);
    place(players[1], 14.6f, 0, 14.6f);
    players[0].spawning = 1;
    expectKeys(-1, 1);
}

} // namespace
