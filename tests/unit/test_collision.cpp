// SPDX-License-Identifier: GPL-3.0-or-later
// Two balls meeting: the rebound's exchange, its damping, the sparks and the
// quarter second before another hit counts.
#include "fixture.h"
#include "sim/collision.h"

namespace
{

using Collision = Sim;

TEST_F(Collision, ElasticDoubledExchangeDampedByResistanceAndAQuarterSecondCoolDown)
{
    // optimisedP = 2 (a1 - b1) / (m0 + m1); sparks (optimisedP / 15)^2 * 2500.
    // a's mass, both resistances, a's x, velocities before and after, time, sparks
    const std::array<float, 12> cases[] = {
        {1, 0, 5, 3, 1, -0.5f, 0, 2, 6, -1, 0.5f, 100},     // head on, across the line too
        {1, 0.5f, 5, 3, 1, 0, 0, 1, 3, 0, 0.5f, 100},       // resistance: undoubled
        {1.5f, 0, 5, 4, 0, 0, 1.6f, 0, 9.6f, 0, 0.5f, 113}, // heavier pushes harder
        {1, 0, 5.2f, 1, 0, 0, 0, 0, 2, 0, -0.5f, 11},       // overlapping: a time before the frame
    };
    for (const auto &[mass, resistance, x, v0x, v0z, v1z, a0x, a0z, a1x, a1z, t, sparks] : cases) {
        SetUp();
        Player &a = players[0], &b = players[1];
        gameTime = 10;
        b.x = 5.6f; // 0.6 apart along x
        a.y = b.y = 1;
        a.mass = mass, a.resistance = b.resistance = resistance, a.x = x;
        a.movement = {0.2f, 0, 0};
        a.velocity = {v0x, 0, v0z}, b.velocity = {0, 0, v1z};
        EXPECT_NEAR(collision(&a, &b), t, 1e-4) << v0x;
        expectNear(a.velocity, {a0x, 0, a0z});
        expectNear(b.velocity, {a1x, 0, a1z});
        EXPECT_EQ(nextParticle, sparks);
    }
    // Within 0.25 s of game time of the last hit no other is handled.
    for (auto [time, hit] : {std::pair{10.24f, false}, {10.25f, true}}) {
        gameTime = time;
        lastCollisionTime = 10;
        players[0].x = 5;
        EXPECT_EQ(collision(&players[0], &players[1]) != -1, hit) << time;
    }
}

} // namespace
