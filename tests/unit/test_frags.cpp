#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/match.h"
#include "core/state.h"
#include "sim/frags.h"
#include "sim/update.h"

namespace {

std::string text(const Message& m) { return m.text.data(); }
std::string mainText() { return mainMessage.data(); }

class Frags : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetGameState();
        ground = {};
        ground.gravity = 10;
        ground.friction = 2;
        terrain = &ground;
        heightmap.fill(20);  // flat at 0.2
        nextPowerupSpawn = 1000;
        setupPlayers();
        for (Player& p : players) {
            p.y = 0.2f;
            p.grounded = 1;
            p.spawning = 0;
        }
        changeMainMessage("First to 5 frags wins !");
    }

    // Player p far below the field, beside the square.
    static void loseBall(int p, float y = -25)
    {
        players[p].x = 16;
        players[p].y = y;
        players[p].grounded = 0;
    }

    static int quadrantOf(const Player& p)
    {
        return (p.x > 7.5f ? 1 : 0) + (p.z > 7.5f ? 2 : 0);
    }

    Terrain ground{};
};

} // namespace

// --- messages ---

TEST(Messages, AddCopiesTextForFourSeconds)
{
    resetGameState();
    addMessage("Speed !", 1);
    EXPECT_EQ(text(messages[1]), "Speed !");
    EXPECT_EQ(messages[1].timeleft, 4.0f);
    EXPECT_EQ(text(messages[0]), "");
    addMessage("har har", 1);  // simply overwritten
    EXPECT_EQ(text(messages[1]), "har har");
}

TEST(Messages, CountDownWithoutFloor)
{
    resetGameState();
    addMessage("a", 0);
    addMessage("b", 1);
    updateMessages(1.5f);
    EXPECT_FLOAT_EQ(messages[0].timeleft, 2.5f);
    EXPECT_FLOAT_EQ(messages[1].timeleft, 2.5f);
    updateMessages(3.0f);
    EXPECT_FLOAT_EQ(messages[0].timeleft, -0.5f);
}

TEST(Messages, LongTextsAreCutAndTerminated)
{
    resetGameState();
    const std::string longText(200, 'x');
    addMessage(longText.c_str(), 0);
    EXPECT_EQ(text(messages[0]), std::string(80, 'x'));
    EXPECT_EQ(messages[0].text[80], '\0');
    changeMainMessage(longText.c_str());
    EXPECT_EQ(mainText(), std::string(79, 'x'));
    EXPECT_EQ(mainMessage[79], '\0');
    EXPECT_EQ(messages[1].text[0], '\0');  // the neighbour untouched
}

// --- ground contact ---

TEST_F(Frags, RollingOffPlaysWheeOnceAndEndsTheBoost)
{
    Player& p = players[0];
    p.powerupActive = 1;
    p.powerupExpire = 8;
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
    const float spawn = nextPowerupSpawn;
    groundContact(0);
    EXPECT_EQ(p.grounded, 0);
    EXPECT_EQ(nextPowerupSpawn, spawn);
}

TEST_F(Frags, RollingOffWithoutBoostLeavesTheSchedule)
{
    Player& p = players[0];
    players[1].powerupActive = 1;  // the other player's boost
    powerupActive = 1;
    nextPowerupSpawn = 3;
    p.x = -0.01f;
    groundContact(0);
    EXPECT_EQ(p.grounded, 0);
    EXPECT_EQ(powerupActive, 1);
    EXPECT_EQ(nextPowerupSpawn, 3.0f);
}

TEST_F(Frags, LandingAtOrBelowTheGround)
{
    Player& p = players[0];
    p.grounded = 0;
    p.spawning = 1;
    p.velocity = {1, -3, 2};
    p.y = getRealHeight(heightmap.data(), p.x, p.z);
    groundContact(0);
    EXPECT_EQ(p.grounded, 1);
    EXPECT_EQ(p.spawning, 0);
    EXPECT_EQ(p.velocity.y, 0.0f);
    EXPECT_EQ(p.velocity.x, 1.0f);

    Player& q = players[1];
    q.grounded = 0;
    q.y = 0.1f;  // sunk below: lands too, height not yet corrected
    groundContact(1);
    EXPECT_EQ(q.grounded, 1);
    EXPECT_EQ(q.y, 0.1f);
}

TEST_F(Frags, NoLandingJustAboveTheGround)
{
    Player& p = players[0];
    p.grounded = 0;
    p.y = 0.2001f;
    groundContact(0);
    EXPECT_EQ(p.grounded, 0);
}

TEST_F(Frags, ScoredOnlyBelowMinusTwentyOffTheSquare)
{
    loseBall(0, -19.9f);
    groundContact(0);
    EXPECT_EQ(players[1].score, 0);
    EXPECT_EQ(players[0].x, 16.0f);

    loseBall(0, -20.0f);
    groundContact(0);
    EXPECT_EQ(players[1].score, 0);

    loseBall(0, -20.1f);
    groundContact(0);
    EXPECT_EQ(players[1].score, 1);
    EXPECT_EQ(players[0].y, 10.0f);
}

TEST_F(Frags, DeepBallOverTheSquareLandsInsteadOfScoring)
{
    Player& p = players[0];
    p.grounded = 0;
    p.y = -25;
    groundContact(0);
    EXPECT_EQ(players[1].score, 0);
    EXPECT_EQ(p.grounded, 1);
}

TEST_F(Frags, KnockedOffInFlightIsScoredWithoutBoostEnding)
{
    Player& p = players[0];
    p.powerupActive = 1;
    powerupActive = 1;
    nextPowerupSpawn = 0;
    loseBall(0);
    groundContact(0);
    EXPECT_EQ(players[1].score, 1);
    // It never rolled off: the boost goes on and builds up again.
    EXPECT_EQ(p.powerupActive, 1);
    EXPECT_EQ(powerupActive, 1);
    EXPECT_EQ(nextPowerupSpawn, 0.0f);
}

// --- scoring and messages ---

TEST_F(Frags, FragsLeftCountsTheLeader)
{
    players[0].score = 3;
    loseBall(0);
    groundContact(0);
    EXPECT_EQ(players[1].score, 1);
    EXPECT_EQ(mainText(), "2 frags left !");
    EXPECT_EQ(text(messages[0]), "har har");
    EXPECT_EQ(messages[0].timeleft, 4.0f);
    EXPECT_EQ(endGame, 0);
}

TEST_F(Frags, OneFragLeftIsSingular)
{
    players[1].score = 3;
    loseBall(0);
    groundContact(0);
    EXPECT_EQ(mainText(), "1 frag left !");
}

TEST_F(Frags, FifthFragWinsForPlayerOne)
{
    players[0].score = 4;
    loseBall(1);
    groundContact(1);
    EXPECT_EQ(players[0].score, 5);
    EXPECT_EQ(endGame, 1);
    EXPECT_EQ(winner, 0);
    EXPECT_EQ(text(messages[0]), "Winner!");
    EXPECT_EQ(text(messages[1]), "har har");
    EXPECT_EQ(mainText(), "Player 1 is the winner! press space to continue");
}

TEST_F(Frags, FifthFragOfAHumanPlayerTwo)
{
    players[1].score = 4;
    loseBall(0);
    groundContact(0);
    EXPECT_EQ(winner, 1);
    EXPECT_EQ(text(messages[1]), "Winner!");
    EXPECT_EQ(mainText(), "Player 2 is the winner! press space to continue");
}

TEST_F(Frags, FifthFragOfTheBot)
{
    toggleBot = 1;
    players[1].score = 4;
    loseBall(0);
    groundContact(0);
    EXPECT_EQ(winner, 1);
    EXPECT_EQ(endGame, 1);
    EXPECT_EQ(text(messages[1]), "Winner!");
    EXPECT_EQ(mainText(), "Bot won, you suck bad! press space to continue");
}

TEST_F(Frags, HumanBeatsTheBot)
{
    toggleBot = 1;
    players[0].score = 4;
    loseBall(1);
    groundContact(1);
    EXPECT_EQ(winner, 0);
    EXPECT_EQ(mainText(), "Player 1 is the winner! press space to continue");
}

TEST_F(Frags, FinishedMatchScoresNoMore)
{
    players[0].score = 4;
    loseBall(1);
    groundContact(1);
    ASSERT_EQ(endGame, 1);
    const std::string line = mainText();

    loseBall(0);
    groundContact(0);
    loseBall(1);
    groundContact(1);
    EXPECT_EQ(players[0].score, 5);
    EXPECT_EQ(players[1].score, 0);
    EXPECT_EQ(winner, 0);
    EXPECT_EQ(mainText(), line);
    // Still dropped back in.
    EXPECT_EQ(players[0].y, 10.0f);
    EXPECT_EQ(players[1].y, 10.0f);
}

TEST_F(Frags, BothLostInOneFramePlayerOneFirst)
{
    players[0].score = 4;
    players[1].score = 4;
    loseBall(0);
    loseBall(1);
    update(0.01f);
    // Player 1's fall decides the match for player 2; player 2's fall in
    // the same frame scores nothing.
    EXPECT_EQ(endGame, 1);
    EXPECT_EQ(winner, 1);
    EXPECT_EQ(players[1].score, 5);
    EXPECT_EQ(players[0].score, 4);
    EXPECT_EQ(mainText(), "Player 2 is the winner! press space to continue");
    // Both dropped back in (and falling for a hundredth of a second).
    EXPECT_NEAR(players[0].y, 10.0f, 0.01f);
    EXPECT_NEAR(players[1].y, 10.0f, 0.01f);
}

TEST_F(Frags, BothLostEarlyInTheMatchBothScore)
{
    loseBall(0);
    loseBall(1);
    update(0.01f);
    EXPECT_EQ(players[0].score, 1);
    EXPECT_EQ(players[1].score, 1);
    EXPECT_EQ(mainText(), "4 frags left !");
}

// --- respawn ---

TEST_F(Frags, RespawnAtAQuadrantCentreTenUp)
{
    Player& p = players[0];
    p.velocity = {3, -40, 2};
    p.spawning = 0;
    loseBall(0);
    groundContact(0);
    const bool centre =
        (p.x == 3.75f || p.x == 11.25f) && (p.z == 3.75f || p.z == 11.25f);
    EXPECT_TRUE(centre) << p.x << ", " << p.z;
    EXPECT_EQ(p.y, 10.0f);
    EXPECT_EQ(p.grounded, 0);
    EXPECT_EQ(p.spawning, 1);
    EXPECT_EQ(p.velocity.x, 0.0f);
    EXPECT_EQ(p.velocity.y, 0.0f);
    EXPECT_EQ(p.velocity.z, 0.0f);
}

TEST_F(Frags, RespawnNeverInTheOtherBallsQuadrant)
{
    const float places[4][2] = {{2, 3}, {12, 7.5f}, {7.5f, 9}, {14, 14}};
    for (int occupied = 0; occupied < 4; ++occupied) {
        players[1].x = places[occupied][0];
        players[1].z = places[occupied][1];
        ASSERT_EQ(quadrantOf(players[1]), occupied);
        int seen[4] = {};
        std::srand(1234u + static_cast<unsigned>(occupied));
        for (int i = 0; i < 400; ++i) {
            players[0].score = 0;
            players[1].score = 0;
            loseBall(0);
            groundContact(0);
            ++seen[quadrantOf(players[0])];
        }
        EXPECT_EQ(seen[occupied], 0) << "occupied quadrant " << occupied;
        for (int q = 0; q < 4; ++q) {
            if (q != occupied) {
                EXPECT_GT(seen[q], 0) << "quadrant " << q << " never picked";
            }
        }
    }
}

TEST_F(Frags, AnyQuadrantWhenTheOtherBallIsOff)
{
    players[1].x = -3;
    int seen[4] = {};
    std::srand(99);
    for (int i = 0; i < 400; ++i) {
        players[1].score = 0;
        fragAndRespawn(0);
        ++seen[quadrantOf(players[0])];
    }
    for (int q = 0; q < 4; ++q)
        EXPECT_GT(seen[q], 0) << "quadrant " << q;
}

TEST_F(Frags, QuadrantIsRedrawnWhileOccupied)
{
    // The draws are rand() % 4 until one differs from the occupied quadrant,
    // and nothing else draws.
    players[1].x = 11.25f;
    players[1].z = 11.25f;  // quadrant 3
    for (unsigned seed = 1; seed < 60; ++seed) {
        std::srand(seed);
        int expected = std::rand() % 4;
        while (expected == 3)
            expected = std::rand() % 4;
        const int following = std::rand();

        std::srand(seed);
        players[1].score = 0;
        fragAndRespawn(0);
        EXPECT_EQ(quadrantOf(players[0]), expected) << "seed " << seed;
        EXPECT_EQ(std::rand(), following) << "seed " << seed;
    }
}

TEST_F(Frags, PhysiqueRestoredButBoostGoesOn)
{
    Player& p = players[0];
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
    EXPECT_EQ(p.radius, 0.25f);
    EXPECT_EQ(p.mass, 1.0f);
    EXPECT_EQ(p.maxSpeed, 4.0f);
    EXPECT_EQ(p.acceleration, 12.0f);
    EXPECT_EQ(p.resistance, 0.0f);
    EXPECT_EQ(p.powerupStage, 0.0f);
    EXPECT_EQ(p.powerupActive, 1);
    EXPECT_EQ(p.powerup, 1);
    EXPECT_EQ(p.powerupExpire, 5.0f);
}
