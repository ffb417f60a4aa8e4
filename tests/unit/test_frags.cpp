// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdlib>
#include <string>

#include "fixture.h"
#include "sim/frags.h"

namespace
{

using Frags = Sim;

// Player p below the field, beside the square.
void loseBall(int p, float y = -25)
{
    players[p].x = 16;
    players[p].y = y;
    players[p].grounded = 0;
}

int quadrantOf(const Player &p)
{
    return (p.x > 7.5f ? 1 : 0) + (p.z > 7.5f ? 2 : 0);
}

TEST_F(Frags, RollingOffEndsOnlyItsOwnBoostAndOnlyBelowMinusTwentyScores)
{
    Player &p = players[0];
    p.powerupActive = powerupActive = 1;
    nextPowerupSpawn = 0;
    p.x = 15.01f;
    groundContact(0);
    EXPECT_EQ(p.grounded + p.powerupActive + powerupActive, 0);
    EXPECT_GE(nextPowerupSpawn, 15.0f);
    nextPowerupSpawn = 3; // no second roll-off, nor one of the ball without the boost
    players[1].x = -0.01f;
    powerupActive = 1;
    groundContact(0);
    groundContact(1);
    EXPECT_EQ(nextPowerupSpawn + powerupActive, 4.0f);

    for (float y : {-19.9f, -20.0f}) {
        loseBall(0, y);
        groundContact(0);
        EXPECT_EQ(players[1].score, 0) << y;
    }
    p.x = 7; // deep below the square itself it lands instead
    groundContact(0);
    EXPECT_EQ(p.grounded, 1);
    // Lost: the physique comes back at once; a boost in force goes on.
    p.radius = 0.5f, p.mass = 1.5f, p.maxSpeed = 6, p.acceleration = 18, p.resistance = 0.4f;
    p.powerup = p.powerupActive = 1, p.powerupStage = 0.8f, p.powerupExpire = 5;
    p.velocity = {3, -40, 2};
    loseBall(0, -20.1f);
    groundContact(0);
    EXPECT_EQ(players[1].score, 1);
    EXPECT_EQ((std::array<float, 9>{p.radius, p.mass, p.maxSpeed, p.acceleration, p.resistance,
                                    p.powerupStage, p.powerupExpire, p.y, magnitude(p.velocity)}),
              (std::array<float, 9>{0.25f, 1, 4, 12, 0, 0, 5, 10, 0}));
    EXPECT_EQ(p.powerupActive + p.powerup + p.spawning - p.grounded, 3);
}

TEST_F(Frags, WordingAndTheEndOfTheMatch)
{
    struct Case {
        int score0, score1, bot, lost;
        const char *main;
        int endGame, winner;
    };
    const Case cases[] = {
        {3, 0, 0, 0, "2 frags left !", 0, 0},
        {0, 3, 0, 0, "1 frag left !", 0, 0},
        {4, 0, 0, 1, "Player 1 is the winner! press space to continue", 1, 0},
        {0, 4, 0, 0, "Player 2 is the winner! press space to continue", 1, 1},
        {0, 4, 1, 0, "Bot won, you suck bad! press space to continue", 1, 1},
        {4, 0, 1, 1, "Player 1 is the winner! press space to continue", 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.main);
        SetUp();
        toggleBot = c.bot;
        players[0].score = c.score0;
        players[1].score = c.score1;
        loseBall(c.lost);
        groundContact(c.lost);
        const int other = 1 - c.lost;
        EXPECT_EQ(players[other].score, (other ? c.score1 : c.score0) + 1);
        EXPECT_STREQ(mainMessage.data(), c.main);
        EXPECT_STREQ(messages[c.lost].text.data(), "har har");
        EXPECT_STREQ(messages[other].text.data(), c.endGame ? "Winner!" : "");
        EXPECT_EQ(endGame, c.endGame);
        EXPECT_EQ(winner, c.winner);
    }
    // A decided match scores no more, yet drops lost balls back in; two
    // balls lost in one frame at 4-4: player 1's fall decides it.
    loseBall(0);
    groundContact(0);
    EXPECT_EQ(players[0].score * 10 + players[1].score, 50);
    EXPECT_EQ(players[0].y, 10.0f);
    SetUp();
    players[0].score = players[1].score = 4;
    loseBall(0);
    loseBall(1);
    update(0.01f);
    EXPECT_EQ(players[0].score * 10 + players[1].score, 45);
    EXPECT_EQ(winner, 1);
    // Lines too long for the HUD are cut, and always terminated.
    const std::string longText(200, 'x');
    addMessage(longText.c_str(), 0);
    changeMainMessage(longText.c_str());
    EXPECT_EQ(messages[0].text.data() + std::string(mainMessage.data()), std::string(159, 'x'));
}

TEST_F(Frags, DroppedBackInAtAQuadrantCentreNeverTheOtherBalls)
{
    // The other ball in each quadrant, then off the field: any quadrant.
    const float places[5][2] = {{2, 3}, {12, 7.5f}, {7.5f, 9}, {14, 14}, {-3, 7}};
    for (int occupied = 0; occupied < 5; ++occupied) {
        players[1].x = places[occupied][0];
        players[1].z = places[occupied][1];
        int seen[4] = {};
        for (int i = 0; i < 200; ++i) {
            fragAndRespawn(0);
            const Player &p = players[0];
            ASSERT_TRUE((p.x == 3.75f || p.x == 11.25f) && (p.z == 3.75f || p.z == 11.25f));
            ++seen[quadrantOf(p)];
        }
        for (int q = 0; q < 4; ++q)
            EXPECT_EQ(seen[q] > 0, q != occupied) << "quadrant " << q << ", other in " << occupied;
    }
    // The draws are rand() % 4 until one differs, and nothing else draws.
    players[1].x = players[1].z = 2;
    for (unsigned seed = 1; seed < 40; ++seed) {
        std::srand(seed);
        int expected = std::rand() % 4;
        while (expected == 0)
            expected = std::rand() % 4;
        const int following = std::rand();
        std::srand(seed);
        fragAndRespawn(0);
        EXPECT_EQ(quadrantOf(players[0]), expected) << seed;
        EXPECT_EQ(std::rand(), following) << seed;
    }
}

} // namespace
