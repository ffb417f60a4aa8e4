// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>
#include <numbers>

#include "fixture.h"
#include "sim/frags.h"

namespace
{

using Physics = Sim;

// Columns from `from` on at `high`, the rest at `low`; a negative high makes
// a ramp rising 0.01 a column: the ground is 0.1 x high.
void columns(int from, int low, int high)
{
    for (int i = 0; i < kGridPoints; ++i) {
        const int col = i % kGridSize;
        heightmap[i] = static_cast<unsigned char>(high < 0 ? col : col >= from ? high : low);
    }
}

TEST_F(Physics, StepCappedAndHalvedInBulletTimeOnAClockThatNeverStalls)
{
    players[0].grounded = 0;
    players[0].y = 5;
    update(0.25f);
    EXPECT_EQ(gameTime, 0.1f);
    EXPECT_FLOAT_EQ(players[0].velocity.y, -1.0f); // 10 * 0.1
    EXPECT_FLOAT_EQ(players[0].y, 4.9f);
    toggleBulletTime = toggleLightMovement = 1;
    update(0.25f);
    EXPECT_FLOAT_EQ(gameTime, 0.15f);
    EXPECT_FLOAT_EQ(lightTime, 0.05f);
    // Eleven hours in, a millisecond is less than half of a float's last digit.
    toggleBulletTime = 0;
    gameTime = 40000.0f;
    for (int i = 0; i < 2000; ++i)
        update(0.001f);
    EXPECT_NEAR(gameTime, 40002.0f, 0.004f);
}

TEST_F(Physics, DriveSlowsInFullSteersOverTopSpeedAndCapsAtIt)
{
    const float d = 1.2f / std::sqrt(2.0f), heavy = 1.2f / std::sqrt(1.5f), s = std::sqrt(26.0f);
    // velocity along x, keys, mass, tenths of a second, velocity after
    const std::array<float, 7> cases[] = {
        {0, 1, 0, 1, 1, 1.2f, 0},        // a push along x
        {0, 0, 1, 1, 1, 0, -1.2f},       // forward is -z
        {0, -1, -1, 1, 1, -d, d},        // diagonal as strong as straight
        {0, 1, 0, 1.5f, 1, heavy, 0},    // heavier answers more slowly
        {0, 1, 0, 1, 10, 4, 0},          // top speed
        {6, -1, 0, 1, 1, 4.8f, 0},       // a slowing push bites in full
        {6, 1, 0, 1, 1, 6, 0},           // over top speed it gains nothing
        {6, 0, 1, 1, 1, 30 / s, -6 / s}, // but steers
    };
    for (const auto &[vx, px, py, mass, frames, wantX, wantZ] : cases) {
        Player &p = players[0];
        p.velocity = {vx, 0, 0}, p.mass = mass;
        p.pressx = static_cast<int>(px), p.pressy = static_cast<int>(py);
        for (int i = 0; i < frames; ++i)
            applyDrive(&p, 0.1f);
        expectNear(p.velocity, {wantX, 0, wantZ});
    }
}

TEST_F(Physics, LandsPullsTowardTheFirstLowestSampleAndFrictionNeverReverses)
{
    Player &p = players[0];
    p.grounded = 0, p.spawning = 1, p.velocity = {1, -2, 0};
    groundContact(0); // at ground height it lands, keeping its speed along the ground
    EXPECT_EQ(p.grounded - p.spawning, 1);
    expectNear(p.velocity, {1, 0, 0});
    // Flat ground pulls nowhere, nor do the samples off the field, which read -1.
    p.x = 0.05f, p.z = 14.98f, p.velocity = {};
    applyGravity(&p, 0.1f);
    EXPECT_EQ(magnitude(p.velocity), 0.0f);

    // Straight down the ramp, 0.01 lower one cell on: g m 0.01 / sqrt(0.01^2 + 0.1^2).
    columns(0, 0, -1);
    for (Player &b : players)
        b.x = 7.55f, b.z = 7.5f, b.y = getRealHeight(heightmap.data(), b.x, b.z);
    p.velocity = {-4, 0, 0}; // not capped by top speed
    players[1].mass = 1.5f;
    applyGravity(&p, 0.1f);
    applyGravity(&players[1], 0.1f);
    expectNear(p.velocity, {-4.0995f, 0, 0}, 1e-4f);
    expectNear(players[1].velocity, {1.5f * -0.0995f, 0, 0}, 1e-4f);

    // On a wall's foot samples 11 to 21 all land at height 0: the first wins.
    columns(75, 0, 100);
    p.x = 7.45f;
    p.y = getRealHeight(heightmap.data(), p.x, p.z);
    p.velocity = {0, 0, 0};
    applyGravity(&p, 0.1f);
    const double angle = 11.0 / 32 * 2 * std::numbers::pi;
    const float pull = 10 * p.y / std::sqrt(0.01f + p.y * p.y) * 0.1f;
    expectNear(p.velocity, multiply({float(std::cos(angle)), 0, float(std::sin(-angle))}, pull));

    p.velocity = {3, 0, -4};
    applyFriction(&p, 0.1f);
    expectNear(p.velocity, {3 * 0.96f, 0, -4 * 0.96f});
    p.velocity = {0.05f, 0, 0};
    applyFriction(&p, 0.1f);
    EXPECT_EQ(magnitude(p.velocity), 0.0f);
}

} // namespace
