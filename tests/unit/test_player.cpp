#include <gtest/gtest.h>

#include "sim/player.h"

namespace
{

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

TEST(InitPlayer, SetsColoursDefaultsAndSpawnStateAndResetClearsTheMatchState)
{
    Player p{};
    p.score = 3;
    p.grounded = 1;
    p.pressx = 1;
    initPlayer(&p, 0, 0, 1, 0.5f, 0.5f, 0.5f, 11.25f, 10, 7.5f);
    EXPECT_EQ(p.diffuse, (std::array<float, 4>{0, 0, 1, 1}));
    EXPECT_EQ(p.ambient, (std::array<float, 4>{0, 0, 0.5f, 1}));
    EXPECT_EQ(p.diffuseHamster, (std::array<float, 4>{0.5f, 0.5f, 0.5f, 1}));
    EXPECT_EQ(p.ambientHamster, (std::array<float, 4>{0.25f, 0.25f, 0.25f, 1}));
    EXPECT_EQ((std::array<float, 8>{p.radius, p.radiusDefault, p.mass, p.massDefault, p.maxSpeed,
                                    p.maxSpeedDefault, p.acceleration, p.accelerationDefault}),
              (std::array<float, 8>{0.25f, 0.25f, 1, 1, 4, 4, 12, 12}));
    EXPECT_EQ((std::array<int, 4>{p.grounded, p.spawning, p.score, p.pressx}),
              (std::array<int, 4>{0, 1, 0, 0}));
    EXPECT_EQ((std::array<float, 3>{p.x, p.y, p.z}), (std::array<float, 3>{11.25f, 10, 7.5f}));

    p.radiusDefault = 1.0f; // super size on
    p.radius = 2.0f;
    p.mass = 1.5f;
    p.maxSpeed = 6;
    p.acceleration = 18;
    p.resistance = 0.5f;
    p.powerup = p.powerupActive = 1;
    p.powerupStage = 0.5f;
    p.powerupExpire = 7;
    p.grounded = 1;
    p.spawning = 0;
    p.rot = p.rotY = p.rotHY = 40;
    p.velocity = {1, 2, 3};
    p.movement = {0.1f, 0.2f, 0.3f};
    p.score = 4;
    p.pressx = 1;
    resetPlayer(&p, 3.75f, 10, 7.5f);
    EXPECT_EQ((std::array<float, 9>{p.radius, p.mass, p.maxSpeed, p.acceleration, p.resistance,
                                    p.powerupStage, p.powerupExpire, p.rot, p.rotHY}),
              (std::array<float, 9>{1, 1, 4, 12, 0, 0, 0, 0, 0}));
    EXPECT_EQ(p.rotY, 0.0f);
    EXPECT_EQ((std::array<int, 5>{p.powerup, p.powerupActive, p.grounded, p.spawning, p.score}),
              (std::array<int, 5>{0, 0, 0, 1, 0}));
    EXPECT_EQ((std::array<float, 3>{p.x, p.y, p.z}), (std::array<float, 3>{3.75f, 10, 7.5f}));
    EXPECT_EQ(magnitude(p.velocity), 0.0f);
    // Left alone: movement, keys, defaults, colours.
    EXPECT_EQ(p.movement.x, 0.1f);
    EXPECT_EQ(p.pressx, 1);
    EXPECT_EQ(p.radiusDefault, 1.0f);
    EXPECT_EQ(p.diffuse, (std::array<float, 4>{0, 0, 1, 1}));
}

TEST(Roll, FullTurnForAnArcOf628TimesTheRadiusWithoutBound)
{
    Player p = makePlayer();
    p.movement = {1.57f, 0, 0};
    updatePlayer(&p, 0.1f);
    EXPECT_EQ(p.rot, -360.0f);
    p.radius = 0.5f;
    p.movement = {0, 0, -1.57f};
    updatePlayer(&p, 0.1f);
    updatePlayer(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.rot, -720.0f);
}

TEST(Heading, AnglesUseThe314Constant)
{
    const std::pair<vector, float> cases[] = {
        {{1, 0, 0}, 0},
        {{1e-6f, 0, -1}, 90.0456f}, // asin(1) * 180 / 3.14 is a little
                                    // more than 90
        {{-1, 0, 0}, -180},
        {{-1, 0, -0.001f}, 179.9427f},
        {{-1, 0, 0.001f}, -179.9427f},
        {{1, 0, 1}, -45.0228f},
        {{1e-30f, 0, 0}, 0}, // a speck of x alone: its square underflows
        {{-1e-30f, 0, 0}, -180},
    };
    for (const auto &[movement, want] : cases)
        EXPECT_NEAR(headingFor(movement), want, 1e-3) << movement.x << "," << movement.z;
    // A speck of x (as slope sampling at 90 degrees leaves) on travel along z.
    for (float z = 0.001f; z < 4.0f; z *= 1.0137f) {
        ASSERT_NEAR(headingFor({6e-17f, 0, -z}), 90.0456f, 1e-3) << "z " << z;
        ASSERT_NEAR(headingFor({-6e-17f, 0, z}), -180 + 90.0456f, 1e-3) << "z " << z;
    }
    // Straight forward it rolls but leaves both angles alone.
    Player p = makePlayer();
    p.rotY = 12;
    p.rotHY = 34;
    p.pressx = p.pressy = 1;
    p.movement = {0, 0, -1};
    updatePlayer(&p, 0.1f);
    EXPECT_NE(p.rot, 0.0f);
    EXPECT_EQ(p.rotY, 12.0f);
    EXPECT_EQ(p.rotHY, 34.0f);
}

TEST(Heading, UnwrapsTheShortWayRoundAndTurnsAtMost180DegreesPerSecond)
{
    Player p = makePlayer();
    p.rotY = 170;
    p.movement = {-0.98480775f, 0, 0.17364818f}; // about -170
    updatePlayer(&p, 1.0f);
    EXPECT_NEAR(p.rotY, 190.0f, 0.01f);
    p.rotY = -170;
    p.movement = {-0.98480775f, 0, -0.17364818f}; // about +170
    updatePlayer(&p, 1.0f);
    EXPECT_NEAR(p.rotY, -190.0f, 0.01f);

    p.rotY = 0;
    p.movement = {1e-6f, 0, -1}; // wants about 90
    updatePlayer(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.rotY, 18.0f);
    updatePlayer(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.rotY, 36.0f);
    p.movement = {1e-6f, 0, 1}; // about -90
    updatePlayer(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.rotY, 18.0f);
}

TEST(Facing, KeyTableTurnLimitAndUnwrapping)
{
    const int keys[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1}, {0, 1}, {1, -1}, {1, 0}, {1, 1}};
    const float want[8] = {-135, 180, 135, -90, 90, -45, 0, 45};
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(facingFor(keys[k][0], keys[k][1]), want[k]) << keys[k][0] << "," << keys[k][1];
    Player p = makePlayer();
    p.movement = {1, 0, 0};
    p.rotHY = 33;
    updatePlayer(&p, 0.1f);
    EXPECT_EQ(p.rotHY, 33.0f) << "no key keeps the facing";
    p.rotHY = 0;
    p.pressy = 1; // wants 90: 270 degrees per second
    updatePlayer(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.rotHY, 27.0f);
    p.pressy = -1; // wants -90
    updatePlayer(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.rotHY, 0.0f);
    p.rotHY = -170;
    p.pressx = -1;
    p.pressy = 0; // wants 180, which is 10 degrees away through -180
    updatePlayer(&p, 1.0f);
    EXPECT_FLOAT_EQ(p.rotHY, -180.0f);
}
