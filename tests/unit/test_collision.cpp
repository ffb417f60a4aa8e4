// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>

#include "fixture.h"
#include "sim/collision.h"

namespace
{

// Two balls 0.6 apart along x, well past the cool-down of the start.
class Collision : public Sim
{
  protected:
    void SetUp() override
    {
        Sim::SetUp();
        players[0].x = 5;
        players[1].x = 5.6f;
        gameTime = 10;
    }
};

TEST_F(Collision, SweptHitTimes)
{
    const float wider = std::nextafter(4.0f, 5.0f);
    // a at (ax, az), b at (bx, bz), both of radius r, moving along x; -1: no hit
    const std::array<float, 8> cases[] = {
        {5, 7.5f, 5.6f, 7.5f, 0.25f, 0.2f, 0, 0.5f},     // halfway along the movement
        {5, 7.5f, 5.6f, 7.5f, 0.25f, -0.2f, 0, -1},      // moving away
        {5, 7.5f, 5.6f, 7.5f, 0.25f, 0.09f, 0, -1},      // too short to close the gap
        {5.4f, 7.5f, 5.6f, 7.5f, 0.25f, 0.2f, 0.2f, -1}, // overlapping, the same movement
        {0, 0, 3, 4, 2, 4, 0, 0.75f},                    // grazing at exactly the radius sum
        {0, 0, 3, wider, 2, 4, 0, -1},                   // a hair wider
        {5, 7.5f, 5.6f, 7.95f, 0.25f, 0.3f, 0, -1},      // contact after this frame
    };
    for (const auto &[ax, az, bx, bz, r, moveA, moveB, want] : cases) {
        SetUp();
        Player &a = players[0], &b = players[1];
        a.x = ax, a.z = az, b.x = bx, b.z = bz, a.radius = b.radius = r;
        a.movement = {moveA, 0, 0};
        b.movement = {moveB, 0, 0};
        a.velocity = {moveA * 10, 0, 0};
        EXPECT_NEAR(collision(&a, &b), want, 1e-5) << ax << ", " << bz << ", " << moveA;
        EXPECT_EQ(lastCollisionTime, want < 0 ? 0.0f : 10.0f);
        EXPECT_EQ(a.grounded, want < 0 ? 1 : 0);
    }
    // Along the line of centres rounding leaves distance^2 - closest^2 just
    // below zero: still a proper time, no NaN.
    Player &a = players[0], &b = players[1];
    a.x = 2.93f, a.z = 8.35f, b.x = 3.29f, b.z = 8.77f;
    const vector ab = getVector(a.x, 0, a.z, b.x, 0, b.z);
    a.movement = multiply(ab, 0.5f);
    b.movement = {0, 0, 0};
    EXPECT_NEAR(collision(&a, &b), (magnitude(ab) - 0.5f) / magnitude(a.movement), 1e-4);
}

TEST_F(Collision, ElasticDoubledExchangeDampedByResistanceAndAQuarterSecondCoolDown)
{
    // optimisedP = 2 (a1 - b1) / (m0 + m1); sparks (optimisedP / 15)^2 * 2500.
    // a's mass, b's resistance, a's x, velocities before and after, time, sparks
    const std::array<float, 12> cases[] = {
        {1, 0, 5, 3, 1, -0.5f, 0, 2, 6, -1, 0.5f, 100},     // head on, across the line too
        {1, 0.5f, 5, 3, 0, 0, 0, 0, 3, 0, 0.5f, 100},       // resistance: undoubled
        {1.5f, 0, 5, 4, 0, 0, 1.6f, 0, 9.6f, 0, 0.5f, 113}, // heavier pushes harder
        {1, 0, 5.2f, 1, 0, 0, 0, 0, 2, 0, -0.5f, 11},       // overlapping: a time before the frame
        {1, 0, 5, 5, 0, 0, 0, 0, 10, 0, 0.5f, 277},         // exchange 5: the soft bump
    };
    for (const auto &[mass, resistance, x, v0x, v0z, v1z, a0x, a0z, a1x, a1z, t, sparks] : cases) {
        SetUp();
        Player &a = players[0], &b = players[1];
        a.y = b.y = 1;
        a.mass = mass, b.resistance = resistance, a.x = x;
        a.movement = {0.2f, 0, 0};
        a.velocity = {v0x, 0, v0z}, b.velocity = {0, 0, v1z};
        EXPECT_NEAR(collision(&a, &b), t, 1e-4) << v0x;
        expectNear(a.velocity, {a0x, 0, a0z});
        expectNear(b.velocity, {a1x, 0, a1z});
        EXPECT_EQ(a.grounded + b.grounded, 0);
        EXPECT_EQ(nextParticle, sparks); // from the midpoint of the centres
        expectNear({particles[0].x, particles[0].y, particles[0].z}, {(x + 5.6f) / 2, 1.25f, 7.5f});
    }
    EXPECT_FALSE(loudBump(5.0f));
    EXPECT_TRUE(loudBump(std::nextafter(5.0f, 6.0f)));

    // Within 0.25 s of game time of the last hit no other is handled.
    for (auto [time, hit] : {std::pair{10.24f, false}, {10.25f, true}}) {
        gameTime = time;
        players[0].x = 5;
        EXPECT_EQ(collision(&players[0], &players[1]) != -1, hit) << time;
        EXPECT_EQ(lastCollisionTime, hit ? time : 10.0f);
    }
}

TEST_F(Collision, BothBallsStopAtTheMomentOfContact)
{
    field.friction = 0;
    players[0].velocity = {2, 0, 0};
    players[1].velocity = {-0.5f, 0, 0};
    update(0.1f); // gap 0.1, closing 0.25 in the frame: contact at 40 %
    EXPECT_NEAR(players[0].x, 5.0f + 0.4f * 0.2f, 1e-5);
    EXPECT_NEAR(players[1].x, 5.6f - 0.4f * 0.05f, 1e-5);
}

} // namespace
