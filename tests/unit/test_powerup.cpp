#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>

#include "core/state.h"
#include "sim/particle.h"
#include "sim/powerup.h"
#include "sim/powerup_rules.h"

namespace
{

// A seed whose first draw decides a bomb (or not) and, if not, whose second
// draw picks `kind`. Found by searching, so it holds for any libc.
unsigned seedFor(int kind)
{
    for (unsigned seed = 1;; ++seed) {
        std::srand(seed);
        const int first = std::rand();
        const int second = std::rand();
        if (kind == -1 ? (first & 3) == 0 : (first & 3) != 0 && second % 3 + 1 == kind)
            return seed;
    }
}

const std::array<float, 3> kWhite{1, 1, 1};

class Powerups : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        resetGameState();
        initParticles();
        heightmap.fill(100); // flat ground at height 1.0
        Player &p = players[0];
        p.radius = p.radiusDefault = 0.25f;
        p.mass = p.massDefault = 1.0f;
        p.maxSpeed = p.maxSpeedDefault = 4.0f;
        p.acceleration = p.accelerationDefault = 12.0f;
        players[1] = p;
        ticker = 0;
        rgb = {1, 1, 1};
    }
    // Powerup at rest on the ground at (5, 1, 5), player 0 touching it from above.
    static void lyingUnderPlayer()
    {
        spawnPowerup(&powerup, 5, 1, 5);
        powerup.grounded = 1;
        players[0].x = 5;
        players[0].y = 1.5f;
        players[0].z = 5;
    }
};

TEST_F(Powerups, CollectsWithinRadiusPlusPointTwoWhenActive)
{
    players[0].radius = 0.3f; // 0.3f + 0.2f rounds to exactly 0.5
    players[0].x = 4.5f;
    players[0].y = 0.2f; // centre at height 0.5, level with the item's centre
    players[0].z = 4;
    spawnPowerup(&powerup, 4, 0, 4); // still falling: collected all the same
    EXPECT_NE(checkCollectPowerup(&powerup, &players[0]), 0);
    EXPECT_EQ(powerup.active, 0);

    spawnPowerup(&powerup, 4, 0, 4);
    players[0].x = std::nextafter(4.5f, 5.0f);
    EXPECT_EQ(checkCollectPowerup(&powerup, &players[0]), 0);
    EXPECT_EQ(powerup.active, 1);

    // An inactive one is never collected and draws nothing.
    lyingUnderPlayer();
    powerup.active = 0;
    std::srand(7);
    const int next = std::rand();
    std::srand(7);
    EXPECT_EQ(checkCollectPowerup(&powerup, &players[0]), 0);
    EXPECT_EQ(std::rand(), next);
}

TEST_F(Powerups, OneInFourIsABombDrawnBeforeTheKind)
{
    int bombs = 0;
    for (unsigned seed = 1; seed <= 200; ++seed) {
        std::srand(seed);
        const int first = std::rand(), second = std::rand(), third = std::rand();
        lyingUnderPlayer();
        players[0].powerup = 0;
        std::srand(seed);
        const int got = checkCollectPowerup(&powerup, &players[0]);
        if ((first & 3) == 0) {
            EXPECT_EQ(got, -1) << seed;
            ++bombs;
        } else {
            EXPECT_EQ(got, second % 3 + 1) << seed;
            EXPECT_EQ(players[0].powerup, got);
            EXPECT_EQ(std::rand(), third) << "a boost draws exactly twice";
        }
    }
    EXPECT_GT(bombs, 20);
}

TEST_F(Powerups, BombThrowsTheBallAwayFromTheBase)
{
    struct Case {
        float x, y;   // the player's place; z is 5, level with the item
        float vx, vy; // velocity afterwards
    };
    // On top: straight up, keeping its own velocity. Centre (5.3, 1.4, 5) is
    // 0.3 across and 0.4 above the base: 10 along (0.6, 0.8).
    const Case cases[] = {{5.0f, 1.5f, 1 + 0.0f, 10}, {5.3f, 1.15f, 1 + 6.0f, 8}};
    for (const Case &c : cases) {
        SetUp();
        spawnPowerup(&powerup, 5, 1, 5);
        Player &p = players[0];
        p.x = c.x;
        p.y = c.y;
        p.z = 5;
        p.grounded = 1;
        p.powerup = 3;
        p.powerupActive = 1;
        p.powerupStage = 0.5f;
        p.powerupExpire = 9;
        p.velocity = {1, 0, 0};
        std::srand(seedFor(-1));
        EXPECT_EQ(checkCollectPowerup(&powerup, &p), -1);
        EXPECT_NEAR(p.velocity.x, c.vx, 1e-4);
        EXPECT_NEAR(p.velocity.y, c.vy, 1e-4);
        EXPECT_NEAR(p.velocity.z, 0, 1e-4);
        EXPECT_EQ(p.grounded, 0);
        EXPECT_EQ(p.powerup, 0);
        EXPECT_EQ(p.powerupActive, 1); // the running boost is untouched
        EXPECT_EQ(p.powerupStage, 0.5f);
        EXPECT_EQ(p.powerupExpire, 9.0f);
        // 750 sparks from the base.
        EXPECT_EQ(nextParticle, 750);
        EXPECT_EQ(particles[0].y, 1.0f);
    }
}

TEST_F(Powerups, CollectingAnnouncesTheKindAndABombSchedulesTheNextSpawn)
{
    const char *names[] = {"Bomb !", "Growth !", "Speed !", "Resistance !"};
    for (int kind = -1; kind <= 3; ++kind) {
        if (kind == 0)
            continue;
        SCOPED_TRACE(kind);
        SetUp();
        lyingUnderPlayer();
        players[0].powerupStage = 0.7f;
        players[1] = players[0];
        nextPowerupSpawn = -2;
        std::srand(seedFor(kind));
        collectPowerup(1);
        EXPECT_STREQ(messages[1].text.data(), names[kind < 0 ? 0 : kind]);
        EXPECT_STREQ(messages[0].text.data(), "");
        if (kind < 0) {
            EXPECT_EQ(powerupActive, 0);
            EXPECT_GE(nextPowerupSpawn, 15.0f);
            EXPECT_LE(nextPowerupSpawn, 24.0f);
        } else {
            EXPECT_EQ(players[1].powerup, kind);
            EXPECT_EQ(powerupActive, 1);
            EXPECT_EQ(nextPowerupSpawn, -2.0f);
            // Fifteen seconds, built up from stage 0.
            EXPECT_EQ(players[1].powerupActive, 1);
            EXPECT_EQ(players[1].powerupStage, 0.0f);
            EXPECT_EQ(players[1].powerupExpire, 15.0f);
        }
    }
    // Nothing follows when nothing is collected.
    SetUp();
    lyingUnderPlayer();
    players[0].x = 9;
    collectPowerup(0);
    EXPECT_EQ(powerupActive, 0);
    EXPECT_EQ(powerup.active, 1);
    EXPECT_STREQ(messages[0].text.data(), "");
}

TEST_F(Powerups, FallsWithLastFramesVelocityAndLandsAtGroundHeight)
{
    spawnPowerup(&powerup, 5, 5, 5);
    updatePowerup(&powerup, heightmap.data(), 10, 0.1f);
    EXPECT_EQ(powerup.y, 5.0f); // the spawn frame leaves it in place
    EXPECT_FLOAT_EQ(powerup.velocity.y, -0.1f);
    updatePowerup(&powerup, heightmap.data(), 10, 0.1f);
    EXPECT_FLOAT_EQ(powerup.y, 4.99f);
    EXPECT_EQ(powerup.grounded, 0);

    // From 1.5 at -4.99 it ends a hair above the ground, at -5 exactly on
    // it; from 1.2 it overshoots and is put back.
    const std::array<float, 3> cases[] = {{1.5f, -4.99f, 0}, {1.5f, -5, 1}, {1.2f, -5, 1}};
    for (const auto &[y, vy, grounded] : cases) {
        spawnPowerup(&powerup, 5, y, 5);
        powerup.velocity.y = vy;
        updatePowerup(&powerup, heightmap.data(), 10, 0.1f);
        EXPECT_EQ(powerup.grounded, grounded) << y << " " << vy;
        if (grounded) {
            EXPECT_EQ(powerup.y, 1.0f);
        }
    }
}

TEST_F(Powerups, WhiteWhileFallingAndCyclingFromTheFirstGroundedFrameAfterLanding)
{
    ticker = 3;
    updatePowerup(&powerup, heightmap.data(), 10, 0.1f);
    EXPECT_EQ(ticker, 3.0f) << "the ticker stands still without a powerup";
    ticker = 0;
    rgb = {0.2f, 0.3f, 0.4f};
    spawnPowerup(&powerup, 5, 1.05f, 5);
    EXPECT_EQ(rgb, kWhite);
    powerup.velocity.y = -1;
    updatePowerup(&powerup, heightmap.data(), 10, 0.1f); // lands
    ASSERT_EQ(powerup.grounded, 1);
    EXPECT_EQ(rgb, kWhite);
    updatePowerup(&powerup, heightmap.data(), 10, 0.1f);
    EXPECT_FLOAT_EQ(ticker, 0.2f);
    EXPECT_FLOAT_EQ(hval, 36.0f);

    // Hue to colour at saturation 0.85, lightness 0.5; 390 wraps to 30.
    const std::array<float, 4> cases[] = {{0, 0.925f, 0.075f, 0.075f},
                                          {120, 0.075f, 0.925f, 0.075f},
                                          {300, 0.925f, 0.075f, 0.925f},
                                          {390, 0.925f, 0.5f, 0.075f}};
    for (const auto &[hue, r, g, b] : cases) {
        ticker = 0;
        updatePowerup(&powerup, heightmap.data(), 10, hue / 180.0f);
        EXPECT_NEAR(rgb[0], r, 1e-4) << hue;
        EXPECT_NEAR(rgb[1], g, 1e-4) << hue;
        EXPECT_NEAR(rgb[2], b, 1e-4) << hue;
    }
}

TEST_F(Powerups, SpawnsWhenDueAtAWholeFifteenToTwentyFourSecondsInTheMiddle)
{
    std::srand(99);
    std::set<float> seen;
    for (int i = 0; i < 2000; ++i)
        seen.insert(getNextPowerupSpawn());
    EXPECT_EQ(seen, (std::set<float>{15, 16, 17, 18, 19, 20, 21, 22, 23, 24}));

    nextPowerupSpawn = 0.01f;
    spawnPowerupIfDue();
    EXPECT_EQ(powerup.active, 0);
    nextPowerupSpawn = 0;
    powerupActive = 1;
    spawnPowerupIfDue();
    EXPECT_EQ(powerup.active, 0);
    powerupActive = 0;
    spawnPowerupIfDue();
    EXPECT_EQ(powerup.active, 1);
    EXPECT_EQ(powerup.grounded, 0);
    EXPECT_EQ(powerup.y, 5.0f);
    const float x = powerup.x;
    spawnPowerupIfDue(); // one on the field already
    EXPECT_EQ(powerup.x, x);

    // z is drawn before x, each from 1.5 to 13.5.
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::srand(seed);
        const double uz = std::rand() / 2147483648.0;
        const double ux = std::rand() / 2147483648.0;
        std::srand(seed);
        powerup.active = 0;
        spawnPowerupIfDue();
        EXPECT_NEAR(powerup.z, 1.5 + uz * 12, 1e-5);
        EXPECT_NEAR(powerup.x, 1.5 + ux * 12, 1e-5);
    }
}

TEST_F(Powerups, StageBuildsUpInFortyTenthSecondFramesAndDownToZero)
{
    Player &p = players[0];
    p.powerup = kPowerupGrowth;
    p.powerupActive = 1;
    stagePowerupEffect(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.powerupStage, 0.025f);
    for (int frame = 1; frame < 40; ++frame)
        stagePowerupEffect(&p, 0.1f);
    // Forty float steps of 0.025 land within rounding of 1, never past it.
    EXPECT_NEAR(p.powerupStage, 1.0f, 1e-6);
    EXPECT_LE(p.powerupStage, 1.0f);
    stagePowerupEffect(&p, 0.1f);
    EXPECT_EQ(p.powerupStage, 1.0f);
    EXPECT_EQ(p.radius, 0.5f);
    EXPECT_EQ(p.mass, 1.5f);
    p.radius = 0.3f; // full stage: nothing is reapplied
    stagePowerupEffect(&p, 0.1f);
    EXPECT_EQ(p.radius, 0.3f);

    Player &q = players[1];
    q.powerup = kPowerupSpeed;
    q.powerupActive = 1;
    for (int frame = 0; frame < 32; ++frame)
        stagePowerupEffect(&q, 0.125f);
    EXPECT_EQ(q.powerupStage, 1.0f);
    EXPECT_EQ(q.acceleration, 18.0f);
    EXPECT_EQ(q.maxSpeed, 6.0f);
    q.powerupActive = 0;
    stagePowerupEffect(&q, 3.9f);
    stagePowerupEffect(&q, 3.9f); // more than is left: stops at 0
    EXPECT_EQ(q.powerupStage, 0.0f);
    EXPECT_EQ(q.acceleration, 12.0f);
    EXPECT_EQ(q.maxSpeed, 4.0f);

    q.powerup = kPowerupResistance;
    q.powerupStage = 0.5f;
    applyPowerupEffect(&q);
    EXPECT_EQ(q.resistance, 0.25f);
    EXPECT_EQ(q.radius, 0.25f);
    q.powerup = 4; // kinds outside 1..3 change nothing
    q.powerupStage = 1;
    applyPowerupEffect(&q);
    EXPECT_EQ(q.resistance, 0.25f);
    EXPECT_EQ(q.maxSpeed, 4.0f);
}

TEST_F(Powerups, CountdownsAndExpiryEndingTheBoostAndSchedulingTheNext)
{
    // Countdowns run only while positive (not clamped) or active.
    Player &p = players[0];
    nextPowerupSpawn = 0.05f;
    p.powerupActive = 1;
    p.powerupExpire = 0.11f;
    players[1].powerupExpire = 1;
    countDownPowerups(0.1f);
    countDownPowerups(0.1f);
    EXPECT_FLOAT_EQ(nextPowerupSpawn, -0.05f);
    EXPECT_FLOAT_EQ(p.powerupExpire, -0.09f);
    EXPECT_EQ(players[1].powerupExpire, 1.0f);
    nextPowerupSpawn = 0;
    powerupActive = 1;
    p.powerupExpire = 0.01f;
    expirePowerup(&p);
    EXPECT_EQ(p.powerupActive, 1);
    EXPECT_EQ(nextPowerupSpawn, 0.0f);
    p.powerupExpire = 0;
    expirePowerup(&p);
    EXPECT_EQ(p.powerupActive, 0);
    EXPECT_EQ(powerupActive, 0);
    EXPECT_GE(nextPowerupSpawn, 15.0f);
    EXPECT_LE(nextPowerupSpawn, 24.0f);
}

} // namespace
