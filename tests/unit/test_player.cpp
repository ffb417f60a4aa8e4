#include <gtest/gtest.h>

#include "sim/player.h"

namespace {

Player makePlayer()
{
    Player p{};
    initPlayer(&p, 0, 0, 1, 0.5f, 0.5f, 0.5f, 11.25f, 10, 7.5f);
    return p;
}

// Heading after a frame long enough that the turn limit never bites.
float headingFor(vector movement)
{
    Player p = makePlayer();
    p.movement = movement;
    updatePlayer(&p, 100);
    return p.rotY;
}

float facingFor(int pressx, int pressy)
{
    Player p = makePlayer();
    p.movement = {1, 0, 0};
    p.pressx = pressx;
    p.pressy = pressy;
    updatePlayer(&p, 100);
    return p.rotHY;
}

} // namespace

// --- initPlayer and resetPlayer ---

TEST(InitPlayer, SetsColoursDefaultsAndSpawnState)
{
    Player p{};
    p.score = 3;
    p.grounded = 1;
    p.pressx = 1;
    p.pressy = -1;
    initPlayer(&p, 0, 0, 1, 0.5f, 0.5f, 0.5f, 11.25f, 10, 7.5f);

    EXPECT_EQ(p.diffuse, (std::array<float, 4>{0, 0, 1, 1}));
    EXPECT_EQ(p.ambient, (std::array<float, 4>{0, 0, 0.5f, 1}));
    EXPECT_EQ(p.diffuseHamster, (std::array<float, 4>{0.5f, 0.5f, 0.5f, 1}));
    EXPECT_EQ(p.ambientHamster, (std::array<float, 4>{0.25f, 0.25f, 0.25f, 1}));
    EXPECT_EQ(p.radius, 0.25f);
    EXPECT_EQ(p.radiusDefault, 0.25f);
    EXPECT_EQ(p.mass, 1.0f);
    EXPECT_EQ(p.massDefault, 1.0f);
    EXPECT_EQ(p.maxSpeed, 4.0f);
    EXPECT_EQ(p.maxSpeedDefault, 4.0f);
    EXPECT_EQ(p.acceleration, 12.0f);
    EXPECT_EQ(p.accelerationDefault, 12.0f);
    EXPECT_EQ(p.grounded, 0);
    EXPECT_EQ(p.spawning, 1);
    EXPECT_EQ(p.score, 0);
    EXPECT_EQ(p.pressx, 0);
    EXPECT_EQ(p.pressy, 0);
    EXPECT_EQ(p.x, 11.25f);
    EXPECT_EQ(p.y, 10.0f);
    EXPECT_EQ(p.z, 7.5f);
}

TEST(ResetPlayer, ClearsMatchStateButKeepsKeysMovementAndDefaults)
{
    Player p = makePlayer();
    p.radiusDefault = 1.0f;  // super size on
    p.radius = 2.0f;
    p.mass = 1.5f;
    p.maxSpeed = 6;
    p.acceleration = 18;
    p.resistance = 0.5f;
    p.powerup = 3;
    p.powerupActive = 1;
    p.powerupStage = 0.5f;
    p.powerupExpire = 7;
    p.grounded = 1;
    p.spawning = 0;
    p.rot = -500;
    p.rotY = 40;
    p.rotHY = 90;
    p.velocity = {1, 2, 3};
    p.movement = {0.1f, 0.2f, 0.3f};
    p.score = 4;
    p.pressx = 1;
    p.pressy = -1;

    resetPlayer(&p, 3.75f, 10, 7.5f);

    EXPECT_EQ(p.radius, 1.0f);
    EXPECT_EQ(p.mass, 1.0f);
    EXPECT_EQ(p.maxSpeed, 4.0f);
    EXPECT_EQ(p.acceleration, 12.0f);
    EXPECT_EQ(p.resistance, 0.0f);
    EXPECT_EQ(p.powerup, 0);
    EXPECT_EQ(p.powerupActive, 0);
    EXPECT_EQ(p.powerupStage, 0.0f);
    EXPECT_EQ(p.powerupExpire, 0.0f);
    EXPECT_EQ(p.grounded, 0);
    EXPECT_EQ(p.spawning, 1);
    EXPECT_EQ(p.rot, 0.0f);
    EXPECT_EQ(p.rotY, 0.0f);
    EXPECT_EQ(p.rotHY, 0.0f);
    EXPECT_EQ(p.x, 3.75f);
    EXPECT_EQ(p.y, 10.0f);
    EXPECT_EQ(p.z, 7.5f);
    EXPECT_EQ(p.velocity.x, 0.0f);
    EXPECT_EQ(p.velocity.y, 0.0f);
    EXPECT_EQ(p.velocity.z, 0.0f);
    EXPECT_EQ(p.score, 0);
    // Left alone.
    EXPECT_EQ(p.movement.x, 0.1f);
    EXPECT_EQ(p.movement.z, 0.3f);
    EXPECT_EQ(p.pressx, 1);
    EXPECT_EQ(p.pressy, -1);
    EXPECT_EQ(p.radiusDefault, 1.0f);
    EXPECT_EQ(p.diffuse, (std::array<float, 4>{0, 0, 1, 1}));
}

// --- rolling ---

TEST(Roll, FullTurnForArcOf628TimesRadius)
{
    Player p = makePlayer();
    p.movement = {1.57f, 0, 0};
    updatePlayer(&p, 0.1f);
    EXPECT_EQ(p.rot, -360.0f);
}

TEST(Roll, GrowsWithoutBoundAndScalesWithRadius)
{
    Player p = makePlayer();
    p.radius = 0.5f;
    p.movement = {0, 0, -1.57f};
    updatePlayer(&p, 0.1f);
    updatePlayer(&p, 0.1f);
    updatePlayer(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.rot, -540.0f);
}

// --- heading of the cage ---

TEST(Heading, StraightForwardRollsButLeavesAnglesAlone)
{
    Player p = makePlayer();
    p.rotY = 12;
    p.rotHY = 34;
    p.pressx = 1;
    p.pressy = 1;
    p.movement = {0, 0, -1};
    updatePlayer(&p, 0.1f);
    EXPECT_NE(p.rot, 0.0f);
    EXPECT_EQ(p.rotY, 12.0f);
    EXPECT_EQ(p.rotHY, 34.0f);
}

TEST(Heading, AnglesUseThe314Constant)
{
    EXPECT_EQ(headingFor({1, 0, 0}), 0.0f);
    // asin(1) * 180 / 3.14 is a little more than 90.
    EXPECT_NEAR(headingFor({1e-6f, 0, -1}), 90.0456f, 1e-3);
    EXPECT_GT(headingFor({1e-6f, 0, -1}), 90.04f);
    EXPECT_EQ(headingFor({-1, 0, 0}), -180.0f);
    EXPECT_NEAR(headingFor({-1, 0, -0.001f}), 179.9427f, 1e-3);
    EXPECT_NEAR(headingFor({-1, 0, 0.001f}), -179.9427f, 1e-3);
    EXPECT_NEAR(headingFor({1, 0, 1}), -45.0228f, 1e-3);
}

TEST(Heading, NearlyStraightAlongZStaysANumber)
{
    // A speck of x (as slope sampling at 90 degrees leaves) on travel along z.
    for (float z = 0.001f; z < 4.0f; z *= 1.0137f) {
        const float forward = headingFor({6e-17f, 0, -z});
        const float back = headingFor({-6e-17f, 0, z});
        ASSERT_NEAR(forward, 90.0456f, 1e-3) << "z " << z;
        ASSERT_NEAR(back, -180 + 90.0456f, 1e-3) << "z " << z;
    }
}

TEST(Heading, SpeckOfXAloneIsStraightAlongX)
{
    // Its square underflows a float.
    EXPECT_EQ(headingFor({1e-30f, 0, 0}), 0.0f);
    EXPECT_EQ(headingFor({-1e-30f, 0, 0}), -180.0f);
}

TEST(Heading, UnwrapsTheShortWayRound)
{
    Player p = makePlayer();
    p.rotY = 170;
    // Heading of about -170 (x back, z toward the camera).
    p.movement = {-0.98480775f, 0, 0.17364818f};
    updatePlayer(&p, 1.0f);
    EXPECT_NEAR(p.rotY, 190.0f, 0.01f);

    p.rotY = -170;
    p.movement = {-0.98480775f, 0, -0.17364818f};  // about +170
    updatePlayer(&p, 1.0f);
    EXPECT_NEAR(p.rotY, -190.0f, 0.01f);
}

TEST(Heading, TurnsAtMost180DegreesPerSecond)
{
    Player p = makePlayer();
    p.movement = {1e-6f, 0, -1};  // wants about 90
    updatePlayer(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.rotY, 18.0f);
    updatePlayer(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.rotY, 36.0f);

    p.rotY = 0;
    p.movement = {1e-6f, 0, 1};  // about -90
    updatePlayer(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.rotY, -18.0f);
}

// --- facing of the hamster ---

TEST(Facing, KeyTable)
{
    EXPECT_EQ(facingFor(-1, -1), -135.0f);
    EXPECT_EQ(facingFor(-1, 0), 180.0f);
    EXPECT_EQ(facingFor(-1, 1), 135.0f);
    EXPECT_EQ(facingFor(0, -1), -90.0f);
    EXPECT_EQ(facingFor(0, 1), 90.0f);
    EXPECT_EQ(facingFor(1, -1), -45.0f);
    EXPECT_EQ(facingFor(1, 0), 0.0f);
    EXPECT_EQ(facingFor(1, 1), 45.0f);
}

TEST(Facing, NoKeyKeepsFacing)
{
    Player p = makePlayer();
    p.rotHY = 33;
    p.movement = {1, 0, 0};
    updatePlayer(&p, 0.1f);
    EXPECT_EQ(p.rotHY, 33.0f);
}

TEST(Facing, TurnsAtMost270DegreesPerSecond)
{
    Player p = makePlayer();
    p.movement = {1, 0, 0};
    p.pressy = 1;  // wants 90
    updatePlayer(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.rotHY, 27.0f);
    p.pressy = -1;  // wants -90
    updatePlayer(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.rotHY, 0.0f);
}

TEST(Facing, UnwrapsTheShortWayRound)
{
    Player p = makePlayer();
    p.movement = {1, 0, 0};
    p.rotHY = -170;
    p.pressx = -1;  // wants 180, which is 10 degrees away through -180
    updatePlayer(&p, 1.0f);
    EXPECT_FLOAT_EQ(p.rotHY, -180.0f);
}
