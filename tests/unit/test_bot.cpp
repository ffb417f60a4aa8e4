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
};

struct Case {
    const char *what;
    float hx, hy, hz; // the human
    int spawning;
    float bx, bz; // the bot, on the ground
    int powerupActive, powerupGrounded;
    float px, py, pz;
    int keyX, keyY; // the keys it presses
};

TEST_F(Bot, ChasesTheHumanOrANearerLandedPowerupOnTheGroundPlane)
{
    const Case cases[] = {
        {"chase, both axes", 10, 0, 10, 0, 2, 2, 0, 0, 0, 0, 0, 1, -1},
        {"chase back", 10, 0, 10, 0, 12, 12, 0, 0, 0, 0, 0, -1, 1},
        {"level in x", 10, 0, 10, 0, 10, 3, 0, 0, 0, 0, 0, 0, -1},
        {"level in z", 10, 0, 10, 0, 3, 10, 0, 0, 0, 0, 0, 1, 0},
        {"a nearer landed powerup", 10, 0, 10, 0, 2, 2, 1, 1, 1, 0, 4, -1, -1},
        {"a falling powerup is ignored", 10, 0, 10, 0, 2, 2, 1, 0, 2.1f, 0.3f, 2.1f, 1, -1},
        {"an inactive powerup is ignored", 10, 0, 10, 0, 2, 2, 0, 1, 2.1f, 0, 1.9f, 1, -1},
        // Nearness over x and z: the same x and height as the bot but 12 away
        // in z is not nearer; up a hill but close on the ground is.
        {"far across the field in z", 6, 0.5f, 3, 0, 5, 2, 1, 1, 5, 0, 14, 1, -1},
        {"up a hill, close on the ground", 3, 0, 2, 0, 2, 2, 1, 1, 2, 2, 2.5f, 0, -1},
        {"near powerup, human far in z", 2, 0, 14, 0, 2, 2, 1, 1, 4, 0, 4, 1, -1},
        {"equal distances are not nearer", 5, 0, 2, 0, 2, 2, 1, 1, 2, 0, 5, 1, 0},
        {"human off the square: any landed powerup", 16, -3, 7, 0, 2, 2, 1, 1, 14, 0, 13, 1, -1},
        // Human off the square and no powerup: keep off the edges, margins safe.
        {"off, middle", -1, -5, 7, 0, 7, 7, 0, 0, 0, 0, 0, 0, 0},
        {"off, x edge", -1, -5, 7, 0, 14.5f, 7, 0, 0, 0, 0, 0, -1, 0},
        {"off, corner", -1, -5, 7, 0, 0.5f, 14.5f, 0, 0, 0, 0, 0, 1, 1},
        {"off, z edge", -1, -5, 7, 0, 7, 0.5f, 0, 0, 0, 0, 0, 0, -1},
        {"off, margin", -1, -5, 7, 0, 14.25f, 0.75f, 0, 0, 0, 0, 0, 0, 0},
        {"off, other margin", -1, -5, 7, 0, 0.75f, 14.25f, 0, 0, 0, 0, 0, 0, 0},
        {"spawning human", 10, 0, 10, 1, 2, 2, 0, 0, 0, 0, 0, 0, 0},
        {"spawning human, bot at the edge", 10, 0, 10, 1, 14.6f, 14.6f, 0, 0, 0, 0, 0, -1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        place(players[0], c.hx, c.hy, c.hz);
        players[0].spawning = c.spawning;
        place(players[1], c.bx, 0, c.bz);
        players[1].pressx = -2; // overwritten every frame
        players[1].pressy = 3;
        powerup.active = c.powerupActive;
        powerup.grounded = c.powerupGrounded;
        powerup.x = c.px;
        powerup.y = c.py;
        powerup.z = c.pz;
        updateBot();
        EXPECT_EQ(players[1].pressx, c.keyX);
        EXPECT_EQ(players[1].pressy, c.keyY);
    }
}

TEST_F(Bot, IdlesOnceTheMatchIsOverAndDoesNothingWhenSwitchedOff)
{
    powerup.active = powerup.grounded = 1;
    powerup.x = powerup.z = 2.5f;
    players[1].pressx = players[1].pressy = 1;
    endGame = 1;
    updateBot();
    EXPECT_EQ(players[1].pressx, 0);
    EXPECT_EQ(players[1].pressy, 0);
    endGame = 0;
    toggleBot = 0;
    players[1].pressx = -1;
    players[1].pressy = 1;
    updateBot();
    EXPECT_EQ(players[1].pressx, -1);
    EXPECT_EQ(players[1].pressy, 1);
}

} // namespace
