// SPDX-License-Identifier: GPL-3.0-or-later
#include "fixture.h"
#include "sim/bot.h"

namespace
{

using Bot = Sim;

TEST_F(Bot, ChasesTheHumanANearerLandedPowerupOrKeepsOffTheEdges)
{
    struct Case {
        const char *what;
        float hx, hy, hz; // the human
        int spawning;
        float bx, bz; // the bot, on the ground
        int drop;     // the powerup: 0 none, 1 falling, 2 landed
        float px, py, pz;
        int keyX, keyY; // the keys it presses
    };
    const Case cases[] = {
        {"chase, both axes", 10, 0, 10, 0, 2, 2, 0, 0, 0, 0, 1, -1},
        {"chase back", 10, 0, 10, 0, 12, 12, 0, 0, 0, 0, -1, 1},
        {"level in x", 10, 0, 10, 0, 10, 3, 0, 0, 0, 0, 0, -1},
        {"a nearer landed powerup", 10, 0, 10, 0, 2, 2, 2, 1, 0, 4, -1, -1},
        {"a falling powerup is ignored", 10, 0, 10, 0, 2, 2, 1, 2.1f, 0, 2.1f, 1, -1},
        // Nearness over x and height: a powerup at the bot's x and height is
        // nearer than a human 0.5 higher, however far away in z; level with
        // the bot both are 0 away, and the powerup is not nearer.
        {"far in z but level", 5, 0.5f, 1, 0, 5, 2, 2, 5, 0, 14, 0, -1},
        {"equal distances", 5, 0, 1, 0, 5, 2, 2, 5, 0, 14, 0, 1},
        {"human off the square: any landed powerup", 16, -3, 7, 0, 2, 2, 2, 14, 0, 13, 1, -1},
        {"off, middle", -1, -5, 7, 0, 7, 7, 0, 0, 0, 0, 0, 0},
        {"off, past the edges", -1, -5, 7, 0, 14.5f, 0.5f, 0, 0, 0, 0, -1, -1},
        {"off, other edges", -1, -5, 7, 0, 0.5f, 14.5f, 0, 0, 0, 0, 1, 1},
        {"off, on the margins", -1, -5, 7, 0, 14.25f, 0.75f, 0, 0, 0, 0, 0, 0},
        {"spawning human", 10, 0, 10, 1, 2, 2, 0, 0, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        toggleBot = 1;
        Player &human = players[0], &bot = players[1];
        human.x = c.hx, human.y = c.hy, human.z = c.hz, human.spawning = c.spawning;
        bot.x = c.bx, bot.z = c.bz, bot.pressx = -2, bot.pressy = 3; // overwritten
        powerup = {c.drop == 2, c.drop > 0, c.px, c.py, c.pz, {}, {}, {}};
        updateBot();
        EXPECT_EQ(bot.pressx, c.keyX);
        EXPECT_EQ(bot.pressy, c.keyY);
    }
    // Idle once the match is over; untouched while switched off.
    players[1].pressx = players[1].pressy = 1;
    endGame = 1;
    updateBot();
    EXPECT_EQ(players[1].pressx, 0);
    EXPECT_EQ(players[1].pressy, 0);
    toggleBot = 0;
    players[1].pressx = -1;
    updateBot();
    EXPECT_EQ(players[1].pressx, -1);
}

} // namespace
