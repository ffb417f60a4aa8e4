#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/match.h"
#include "core/state.h"
#include "sim/frags.h"
#include "sim/update.h"

namespace
{

std::string text(const Message &m)
{
    return m.text.data();
}
std::string mainText()
{
    return mainMessage.data();
}

class Frags : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        resetGameState();
        ground = {};
        ground.gravity = 10;
        ground.friction = 2;
        terrain = &ground;
        heightmap.fill(20); // flat at 0.2
        nextPowerupSpawn = 1000;
        setupPlayers();
        for (Player &p : players) {
            p.y = 0.2f;
            p.grounded = 1;
            p.spawning = 0;
        }
        changeMainMessage("First to 5 frags wins !");
    }

    // Player p below the field, beside the square.
    static void loseBall(int p, float y = -25)
    {
        players[p].x = 16;
        players[p].y = y;
        players[p].grounded = 0;
    }

    static int quadrantOf(const Player &p) { return (p.x > 7.5f ? 1 : 0) + (p.z > 7.5f ? 2 : 0); }

    Terrain ground{};
};

} // namespace

TEST(Messages, FourSecondsCountingDownCutAndTerminated)
{
    resetGameState();
    addMessage("Speed !", 1);
    EXPECT_EQ(text(messages[1]), "Speed !");
    EXPECT_EQ(messages[1].timeleft, 4.0f);
    EXPECT_EQ(text(messages[0]), "");
    updateMessages(4.5f);
    EXPECT_FLOAT_EQ(messages[1].timeleft, -0.5f); // no floor
    const std::string longText(200, 'x');
    addMessage(longText.c_str(), 0);
    EXPECT_EQ(text(messages[0]), std::string(80, 'x'));
    changeMainMessage(longText.c_str());
    EXPECT_EQ(mainText(), std::string(79, 'x'));
    EXPECT_EQ(text(messages[1]), "Speed !"); // the neighbour untouched
}

TEST_F(Frags, RollingOffOnceEndsOnlyItsOwnBoost)
{
    Player &p = players[0];
    p.powerupActive = 1;
    powerupActive = 1;
    nextPowerupSpawn = 0;
    p.x = 15.01f;
    groundContact(0);
    EXPECT_EQ(p.grounded, 0);
    EXPECT_EQ(p.powerupActive, 0);
    EXPECT_EQ(powerupActive, 0);
    EXPECT_GE(nextPowerupSpawn, 15.0f);
    EXPECT_LE(nextPowerupSpawn, 24.0f);
    EXPECT_EQ(p.score + players[1].score, 0);
    // Next frames it is just a falling ball: no second roll-off.
    nextPowerupSpawn = 3;
    groundContact(0);
    EXPECT_EQ(nextPowerupSpawn, 3.0f);

    // Without a boost of its own it leaves the other player's boost and the schedule.
    SetUp();
    players[1].powerupActive = 1;
    powerupActive = 1;
    nextPowerupSpawn = 3;
    p.x = -0.01f;
    groundContact(0);
    EXPECT_EQ(p.grounded, 0);
    EXPECT_EQ(powerupActive, 1);
    EXPECT_EQ(nextPowerupSpawn, 3.0f);
}

TEST_F(Frags, ScoredOnlyBelowMinusTwentyOffTheSquare)
{
    for (float y : {-19.9f, -20.0f}) {
        loseBall(0, y);
        groundContact(0);
        EXPECT_EQ(players[1].score, 0) << y;
        EXPECT_EQ(players[0].x, 16.0f);
    }
    // Deep below the square itself it lands instead.
    players[0].x = 7;
    players[0].y = -25;
    groundContact(0);
    EXPECT_EQ(players[1].score, 0);
    EXPECT_EQ(players[0].grounded, 1);
    // Knocked off in flight: scored, and the boost it never rolled off with goes on.
    players[0].powerupActive = 1;
    powerupActive = 1;
    nextPowerupSpawn = 0;
    loseBall(0, -20.1f);
    groundContact(0);
    EXPECT_EQ(players[1].score, 1);
    EXPECT_EQ(players[0].y, 10.0f);
    EXPECT_EQ(players[0].powerupActive, 1);
    EXPECT_EQ(powerupActive, 1);
    EXPECT_EQ(nextPowerupSpawn, 0.0f);
}

TEST_F(Frags, MessagesWordingAndTheEndOfTheMatch)
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
        EXPECT_EQ(mainText(), c.main);
        EXPECT_EQ(text(messages[c.lost]), "har har");
        EXPECT_EQ(messages[c.lost].timeleft, 4.0f);
        EXPECT_EQ(text(messages[other]), c.endGame ? "Winner!" : "");
        EXPECT_EQ(endGame, c.endGame);
        EXPECT_EQ(winner, c.winner);
    }
    // A finished match scores no more, yet still drops lost balls back in.
    loseBall(0);
    groundContact(0);
    loseBall(1);
    groundContact(1);
    EXPECT_EQ(players[0].score, 5);
    EXPECT_EQ(players[1].score, 0);
    EXPECT_EQ(winner, 0);
    EXPECT_EQ(mainText(), "Player 1 is the winner! press space to continue");
    EXPECT_EQ(players[0].y, 10.0f);
    EXPECT_EQ(players[1].y, 10.0f);
}

TEST_F(Frags, BothLostInOneFrame)
{
    // Early in the match both score.
    loseBall(0);
    loseBall(1);
    update(0.01f);
    EXPECT_EQ(players[0].score, 1);
    EXPECT_EQ(players[1].score, 1);
    EXPECT_EQ(mainText(), "4 frags left !");
    // At 4-4 player 1's fall decides the match for player 2; player 2's fall
    // in the same frame scores nothing. Both are dropped back in.
    players[0].score = players[1].score = 4;
    loseBall(0);
    loseBall(1);
    update(0.01f);
    EXPECT_EQ(endGame, 1);
    EXPECT_EQ(winner, 1);
    EXPECT_EQ(players[1].score, 5);
    EXPECT_EQ(players[0].score, 4);
    EXPECT_EQ(mainText(), "Player 2 is the winner! press space to continue");
    EXPECT_NEAR(players[0].y, 10.0f, 0.01f);
    EXPECT_NEAR(players[1].y, 10.0f, 0.01f);
}

TEST_F(Frags, RespawnAtAQuadrantCentreTenUpNeverTheOtherBalls)
{
    Player &p = players[0];
    p.velocity = {3, -40, 2};
    loseBall(0);
    groundContact(0);
    EXPECT_TRUE((p.x == 3.75f || p.x == 11.25f) && (p.z == 3.75f || p.z == 11.25f))
        << p.x << ", " << p.z;
    EXPECT_EQ(p.y, 10.0f);
    EXPECT_EQ(p.grounded, 0);
    EXPECT_EQ(p.spawning, 1);
    EXPECT_EQ(magnitude(p.velocity), 0.0f);

    // The other ball in each quadrant, then off the field (-1): any quadrant.
    const float places[5][2] = {{2, 3}, {12, 7.5f}, {7.5f, 9}, {14, 14}, {-3, 7}};
    for (int occupied = 0; occupied < 5; ++occupied) {
        players[1].x = places[occupied][0];
        players[1].z = places[occupied][1];
        int seen[4] = {};
        std::srand(1234u + static_cast<unsigned>(occupied));
        for (int i = 0; i < 400; ++i) {
            players[1].score = 0;
            fragAndRespawn(0);
            ++seen[quadrantOf(p)];
        }
        for (int q = 0; q < 4; ++q)
            EXPECT_EQ(seen[q] > 0, q != occupied) << "quadrant " << q << ", other in " << occupied;
    }
    // The draws are rand() % 4 until one differs from the occupied quadrant,
    // and nothing else draws.
    players[1].x = players[1].z = 11.25f; // quadrant 3
    for (unsigned seed = 1; seed < 60; ++seed) {
        std::srand(seed);
        int expected = std::rand() % 4;
        while (expected == 3)
            expected = std::rand() % 4;
        const int following = std::rand();
        std::srand(seed);
        fragAndRespawn(0);
        EXPECT_EQ(quadrantOf(p), expected) << "seed " << seed;
        EXPECT_EQ(std::rand(), following) << "seed " << seed;
    }
}

TEST_F(Frags, PhysiqueRestoredButBoostGoesOn)
{
    Player &p = players[0];
    p.radius = 0.5f;
    p.mass = 1.5f;
    p.maxSpeed = 6;
    p.acceleration = 18;
    p.resistance = 0.4f;
    p.powerup = 1;
    p.powerupActive = 1;
    p.powerupStage = 0.8f;
    p.powerupExpire = 5;
    fragAndRespawn(0);
    EXPECT_EQ((std::array<float, 7>{p.radius, p.mass, p.maxSpeed, p.acceleration, p.resistance,
                                    p.powerupStage, p.powerupExpire}),
              (std::array<float, 7>{0.25f, 1, 4, 12, 0, 0, 5}));
    EXPECT_EQ(p.powerupActive, 1);
    EXPECT_EQ(p.powerup, 1);
}
