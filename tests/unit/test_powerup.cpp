#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>

#include "core/state.h"
#include "render/model.h"
#include "sim/particle.h"
#include "sim/powerup.h"

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
    static void expectMessage(int p, const char *text)
    {
        EXPECT_STREQ(messages[static_cast<std::size_t>(p)].text.data(), text);
    }
};

TEST_F(Powerups, InitAndResetOnlyClearTheActiveFlag)
{
    spawnPowerup(&powerup, 3, 4, 5);
    initPowerup(&powerup); // no models here: the item simply stays unloaded
    EXPECT_EQ(powerup.active, 0);
    EXPECT_EQ(powerup.y, 4.0f);
    freePower();
}

// --- collection ---

TEST_F(Powerups, CollectsAtExactlyRadiusPlusPointTwo)
{
    players[0].radius = 0.3f; // 0.3f + 0.2f rounds to exactly 0.5
    spawnPowerup(&powerup, 4, 0, 4);
    players[0].x = 4.5f;
    players[0].y = 0.2f; // centre at height 0.5, level with the item's centre
    players[0].z = 4;
    EXPECT_NE(checkCollectPowerup(&powerup, &players[0]), 0);
    EXPECT_EQ(powerup.active, 0);

    spawnPowerup(&powerup, 4, 0, 4);
    players[0].x = std::nextafter(4.5f, 5.0f);
    EXPECT_EQ(checkCollectPowerup(&powerup, &players[0]), 0);
    EXPECT_EQ(powerup.active, 1);
}

TEST_F(Powerups, InactivePowerupIsNeverCollectedAndDrawsNothing)
{
    lyingUnderPlayer();
    powerup.active = 0;
    std::srand(7);
    const int next = std::rand();
    std::srand(7);
    EXPECT_EQ(checkCollectPowerup(&powerup, &players[0]), 0);
    EXPECT_EQ(std::rand(), next);
}

TEST_F(Powerups, CollectedWhileStillFalling)
{
    lyingUnderPlayer();
    powerup.grounded = 0;
    EXPECT_NE(checkCollectPowerup(&powerup, &players[0]), 0);
}

TEST_F(Powerups, BombTestComesBeforeTheKindDraw)
{
    for (unsigned seed = 1; seed <= 200; ++seed) {
        std::srand(seed);
        const int first = std::rand();
        const int second = std::rand();
        const int third = std::rand();
        lyingUnderPlayer();
        players[0].powerup = 0;
        std::srand(seed);
        const int got = checkCollectPowerup(&powerup, &players[0]);
        if ((first & 3) == 0) {
            EXPECT_EQ(got, -1);
        } else {
            EXPECT_EQ(got, second % 3 + 1);
            EXPECT_EQ(players[0].powerup, got);
            EXPECT_EQ(std::rand(), third); // a boost draws exactly twice
        }
    }
}

TEST_F(Powerups, AboutOneInFourIsABombAndBoostsSplitEvenly)
{
    std::srand(2024);
    std::array<int, 4> counts{};
    constexpr int n = 8000;
    for (int i = 0; i < n; ++i) {
        lyingUnderPlayer();
        const int got = checkCollectPowerup(&powerup, &players[0]);
        ASSERT_TRUE(got == -1 || (got >= 1 && got <= 3));
        ++counts[static_cast<std::size_t>(got < 0 ? 0 : got)];
    }
    EXPECT_NEAR(counts[0] / double(n), 0.25, 0.03);
    const int boosts = n - counts[0];
    for (int kind = 1; kind <= 3; ++kind)
        EXPECT_NEAR(counts[static_cast<std::size_t>(kind)] / double(boosts), 1.0 / 3, 0.03);
}

TEST_F(Powerups, BoostStartsFifteenSecondsAtStageZero)
{
    lyingUnderPlayer();
    players[0].powerupStage = 0.7f;
    std::srand(seedFor(2));
    EXPECT_EQ(checkCollectPowerup(&powerup, &players[0]), 2);
    EXPECT_EQ(players[0].powerupActive, 1);
    EXPECT_EQ(players[0].powerupStage, 0.0f);
    EXPECT_EQ(players[0].powerupExpire, 15.0f);
}

// --- the bomb ---

TEST_F(Powerups, BombThrowsABallOnTopStraightUp)
{
    lyingUnderPlayer();
    players[0].grounded = 1;
    players[0].powerup = 3;
    players[0].powerupActive = 1;
    players[0].powerupStage = 0.5f;
    players[0].powerupExpire = 9;
    players[0].velocity = {1, 0, 0};
    std::srand(seedFor(-1));
    EXPECT_EQ(checkCollectPowerup(&powerup, &players[0]), -1);
    EXPECT_FLOAT_EQ(players[0].velocity.x, 1);
    EXPECT_FLOAT_EQ(players[0].velocity.y, 10);
    EXPECT_FLOAT_EQ(players[0].velocity.z, 0);
    EXPECT_EQ(players[0].grounded, 0);
    EXPECT_EQ(players[0].powerup, 0);
    EXPECT_EQ(players[0].powerupActive, 1); // the running boost is untouched
    EXPECT_EQ(players[0].powerupStage, 0.5f);
    EXPECT_EQ(players[0].powerupExpire, 9.0f);
}

TEST_F(Powerups, BombBlastsFromTheBaseNotTheItemCentre)
{
    spawnPowerup(&powerup, 5, 1, 5);
    players[0].x = 5.3f; // centre at (5.3, 1.4, 5): 0.3 across, 0.4 above the base
    players[0].y = 1.15f;
    players[0].z = 5;
    std::srand(seedFor(-1));
    EXPECT_EQ(checkCollectPowerup(&powerup, &players[0]), -1);
    EXPECT_NEAR(players[0].velocity.x, 6, 1e-4);
    EXPECT_NEAR(players[0].velocity.y, 8, 1e-4);
    EXPECT_NEAR(players[0].velocity.z, 0, 1e-4);
    // 750 sparks from the base
    EXPECT_EQ(nextParticle, 750);
    EXPECT_EQ(particles[749].active, 1);
    EXPECT_EQ(particles[750].active, 0);
    EXPECT_EQ(particles[0].x, 5.0f);
    EXPECT_EQ(particles[0].y, 1.0f);
    EXPECT_NEAR(particles[0].r, 0.9f, 0.05f + 1e-6f);
    const float b = particles[0].b; // one of the two base colours, jittered
    EXPECT_TRUE(std::abs(b - 0.5f) <= 0.05f + 1e-6f || std::abs(b) <= 0.05f + 1e-6f) << b;
}

TEST_F(Powerups, CollectedBombSchedulesTheNextSpawnAtOnce)
{
    lyingUnderPlayer();
    players[1] = players[0];
    nextPowerupSpawn = -2;
    std::srand(seedFor(-1));
    collectPowerup(1);
    EXPECT_EQ(powerupActive, 0);
    EXPECT_GE(nextPowerupSpawn, 15.0f);
    EXPECT_LE(nextPowerupSpawn, 24.0f);
    expectMessage(1, "Bomb !");
    expectMessage(0, "");
}

TEST_F(Powerups, CollectedBoostAnnouncesItsKind)
{
    const std::array<const char *, 3> names{"Growth !", "Speed !", "Resistance !"};
    for (int kind = 1; kind <= 3; ++kind) {
        lyingUnderPlayer();
        powerupActive = 0;
        nextPowerupSpawn = -2;
        std::srand(seedFor(kind));
        collectPowerup(0);
        EXPECT_EQ(players[0].powerup, kind);
        EXPECT_EQ(powerupActive, 1);
        EXPECT_EQ(nextPowerupSpawn, -2.0f);
        expectMessage(0, names[static_cast<std::size_t>(kind - 1)]);
    }
}

TEST_F(Powerups, NothingFollowsWhenNothingIsCollected)
{
    lyingUnderPlayer();
    players[0].x = 9;
    collectPowerup(0);
    EXPECT_EQ(powerupActive, 0);
    EXPECT_EQ(powerup.active, 1);
    expectMessage(0, "");
}

// --- falling, landing, colour ---

TEST_F(Powerups, FallsWithLastFramesVelocity)
{
    spawnPowerup(&powerup, 5, 5, 5);
    updatePowerup(&powerup, heightmap.data(), 10, 0.1f);
    EXPECT_EQ(powerup.y, 5.0f); // the spawn frame leaves it in place
    EXPECT_FLOAT_EQ(powerup.velocity.y, -0.1f);
    updatePowerup(&powerup, heightmap.data(), 10, 0.1f);
    EXPECT_FLOAT_EQ(powerup.y, 4.99f);
    EXPECT_EQ(powerup.x, 5.0f);
    EXPECT_EQ(powerup.grounded, 0);
}

TEST_F(Powerups, LandsWhenItsBaseEndsExactlyAtGroundHeight)
{
    spawnPowerup(&powerup, 5, 1.5f, 5);
    powerup.velocity.y = -4.99f; // ends a hair above
    updatePowerup(&powerup, heightmap.data(), 10, 0.1f);
    EXPECT_EQ(powerup.grounded, 0);

    spawnPowerup(&powerup, 5, 1.5f, 5);
    powerup.velocity.y = -5; // 1.5 - 0.5 = 1.0, the ground
    updatePowerup(&powerup, heightmap.data(), 10, 0.1f);
    EXPECT_EQ(powerup.grounded, 1);
    EXPECT_EQ(powerup.y, 1.0f);

    spawnPowerup(&powerup, 5, 1.2f, 5);
    powerup.velocity.y = -5; // overshoots: put back on the ground
    updatePowerup(&powerup, heightmap.data(), 10, 0.1f);
    EXPECT_EQ(powerup.grounded, 1);
    EXPECT_EQ(powerup.y, 1.0f);
}

TEST_F(Powerups, WhiteWhileFallingAndCyclingFromTheFirstGroundedFrameAfterLanding)
{
    rgb = {0.2f, 0.3f, 0.4f};
    spawnPowerup(&powerup, 5, 1.05f, 5);
    EXPECT_EQ(rgb, (std::array<float, 3>{1, 1, 1}));
    powerup.velocity.y = -1;
    updatePowerup(&powerup, heightmap.data(), 10, 0.1f); // lands
    ASSERT_EQ(powerup.grounded, 1);
    EXPECT_EQ(rgb, (std::array<float, 3>{1, 1, 1}));
    updatePowerup(&powerup, heightmap.data(), 10, 0.1f);
    EXPECT_NE(rgb, (std::array<float, 3>{1, 1, 1}));
    EXPECT_FLOAT_EQ(ticker, 0.2f);
    EXPECT_FLOAT_EQ(hval, 36.0f);
}

TEST_F(Powerups, TickerStandsStillWithoutAPowerup)
{
    ticker = 3;
    updatePowerup(&powerup, heightmap.data(), 10, 0.1f);
    EXPECT_EQ(ticker, 3.0f);
    spawnPowerup(&powerup, 5, 5, 5);
    resetPowerup(&powerup);
    EXPECT_EQ(ticker, 3.0f); // never reset
    EXPECT_EQ(powerup.x, 5.0f);
}

TEST_F(Powerups, HueToColour)
{
    struct Case {
        float hue;
        float r, g, b;
    };
    const std::array<Case, 6> cases{{{0, 0.925f, 0.075f, 0.075f},
                                     {30, 0.925f, 0.5f, 0.075f},
                                     {120, 0.075f, 0.925f, 0.075f},
                                     {240, 0.075f, 0.075f, 0.925f},
                                     {300, 0.925f, 0.075f, 0.925f},
                                     {390, 0.925f, 0.5f, 0.075f}}}; // wraps to 30
    for (const Case &c : cases) {
        spawnPowerup(&powerup, 5, 1, 5);
        powerup.grounded = 1;
        ticker = 0;
        updatePowerup(&powerup, heightmap.data(), 10, c.hue / 180.0f);
        EXPECT_NEAR(rgb[0], c.r, 1e-4) << c.hue;
        EXPECT_NEAR(rgb[1], c.g, 1e-4) << c.hue;
        EXPECT_NEAR(rgb[2], c.b, 1e-4) << c.hue;
        EXPECT_LT(hval, 360.0f);
    }
}

// --- schedule and spawn ---

TEST_F(Powerups, NextSpawnIsAWholeNumberFromFifteenToTwentyFour)
{
    std::srand(99);
    std::set<float> seen;
    for (int i = 0; i < 2000; ++i)
        seen.insert(getNextPowerupSpawn());
    EXPECT_EQ(seen.size(), 10u);
    EXPECT_EQ(*seen.begin(), 15.0f);
    EXPECT_EQ(*seen.rbegin(), 24.0f);
    for (float s : seen)
        EXPECT_EQ(s, std::floor(s));
}

TEST_F(Powerups, SpawnsOnlyWhenDueAndNoBoostRuns)
{
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
}

TEST_F(Powerups, SpawnDrawsZBeforeXInTheMiddleOfTheField)
{
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::srand(seed);
        const double uz = std::rand() / 2147483648.0;
        const double ux = std::rand() / 2147483648.0;
        std::srand(seed);
        powerup.active = 0;
        spawnPowerupIfDue();
        EXPECT_NEAR(powerup.z, 1.5 + uz * 12, 1e-5);
        EXPECT_NEAR(powerup.x, 1.5 + ux * 12, 1e-5);
        EXPECT_GE(powerup.x, 1.5f);
        EXPECT_LE(powerup.x, 13.5f);
    }
}

TEST_F(Powerups, CountdownsRunOnlyWhilePositiveOrActive)
{
    nextPowerupSpawn = 0.05f;
    players[0].powerupActive = 1;
    players[0].powerupExpire = 1;
    players[1].powerupExpire = 1;
    countDownPowerups(0.1f);
    EXPECT_FLOAT_EQ(nextPowerupSpawn, -0.05f); // not clamped
    EXPECT_FLOAT_EQ(players[0].powerupExpire, 0.9f);
    EXPECT_EQ(players[1].powerupExpire, 1.0f);
    countDownPowerups(0.1f);
    EXPECT_FLOAT_EQ(nextPowerupSpawn, -0.05f);
}

// --- staging, effects, expiry ---

TEST_F(Powerups, StageBuildsUpInFortyTenthSecondFramesAndClampsAtOne)
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
}

TEST_F(Powerups, ExactStepsReachOneAndZeroExactly)
{
    Player &p = players[0];
    p.powerup = kPowerupSpeed;
    p.powerupActive = 1;
    for (int frame = 0; frame < 31; ++frame)
        stagePowerupEffect(&p, 0.125f);
    EXPECT_EQ(p.powerupStage, 31 / 32.0f);
    stagePowerupEffect(&p, 0.125f);
    EXPECT_EQ(p.powerupStage, 1.0f);
    EXPECT_EQ(p.acceleration, 18.0f);
    EXPECT_EQ(p.maxSpeed, 6.0f);
    p.powerupActive = 0;
    stagePowerupEffect(&p, 3.9f);
    stagePowerupEffect(&p, 3.9f); // more than is left: stops at 0
    EXPECT_EQ(p.powerupStage, 0.0f);
    EXPECT_EQ(p.acceleration, 12.0f);
    EXPECT_EQ(p.maxSpeed, 4.0f);
}

TEST_F(Powerups, ResistanceAtHalfStage)
{
    Player &p = players[0];
    p.powerup = kPowerupResistance;
    p.powerupStage = 0.5f;
    applyPowerupEffect(&p);
    EXPECT_EQ(p.resistance, 0.25f);
    EXPECT_EQ(p.radius, 0.25f);
}

TEST_F(Powerups, KindsOutsideOneToThreeChangeNothing)
{
    for (int kind : {0, 4, -1}) {
        Player p = players[0];
        p.powerup = kind;
        p.powerupActive = 1;
        const Player before = p;
        stagePowerupEffect(&p, 0.1f);
        EXPECT_FLOAT_EQ(p.powerupStage, 0.025f);
        EXPECT_EQ(p.radius, before.radius);
        EXPECT_EQ(p.mass, before.mass);
        EXPECT_EQ(p.maxSpeed, before.maxSpeed);
        EXPECT_EQ(p.acceleration, before.acceleration);
        EXPECT_EQ(p.resistance, before.resistance);
    }
}

TEST_F(Powerups, ExpiryEndsTheBoostAndSchedulesTheNext)
{
    Player &p = players[0];
    p.powerupActive = 1;
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

TEST_F(Powerups, GrowthLastsFifteenSecondsThenShrinksBackOverFour)
{
    Player &p = players[0];
    lyingUnderPlayer();
    std::srand(seedFor(kPowerupGrowth));
    collectPowerup(0);
    int frames = 0;
    while (p.powerupActive == 1 && frames < 1000) {
        stagePowerupEffect(&p, 0.1f);
        expirePowerup(&p);
        countDownPowerups(0.1f);
        ++frames;
        if (frames == 100) {
            EXPECT_EQ(p.radius, 0.5f);
        }
    }
    EXPECT_NEAR(frames, 151, 1);
    EXPECT_EQ(powerupActive, 0);
    for (int frame = 0; frame < 38; ++frame)
        stagePowerupEffect(&p, 0.1f);
    EXPECT_GT(p.radius, 0.25f);
    for (int frame = 0; frame < 4; ++frame)
        stagePowerupEffect(&p, 0.1f);
    EXPECT_EQ(p.radius, 0.25f);
    EXPECT_EQ(p.powerupStage, 0.0f);
}

} // namespace
