// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>
#include <cstdlib>
#include <set>

#include "fixture.h"
#include "sim/powerup_rules.h"

namespace
{

using Powerups = Sim;

// A seed whose first draw decides a bomb (kind -1) or not and, if not, whose
// second draw picks `kind`. Searched for, so it holds for any libc.
unsigned seedFor(int kind)
{
    for (unsigned seed = 1;; ++seed) {
        std::srand(seed);
        const int first = std::rand(), second = std::rand();
        if (kind == -1 ? (first & 3) == 0 : (first & 3) != 0 && second % 3 + 1 == kind)
            return seed;
    }
}

TEST_F(Powerups, CollectedWithinRadiusPlusPointTwoOneInFourABomb)
{
    Player &p = players[0];
    p.radius = 0.3f;                 // 0.3f + 0.2f rounds to exactly 0.5
    p.x = 4.5f, p.y = 0.2f, p.z = 4; // the centres level, 0.5 apart
    for (float x : {std::nextafter(4.5f, 5.0f), 4.5f}) {
        spawnPowerup(&powerup, 4, 0, 4); // still falling: collected all the same
        p.x = x;
        EXPECT_EQ(checkCollectPowerup(&powerup, &p) != 0, x == 4.5f) << x;
        EXPECT_EQ(powerup.active, x == 4.5f ? 0 : 1);
    }
    int bombs = 0;
    for (unsigned seed = 1; seed <= 200; ++seed) {
        std::srand(seed);
        const int first = std::rand(), second = std::rand(), third = std::rand();
        spawnPowerup(&powerup, 4, 0, 4);
        std::srand(seed);
        const int got = checkCollectPowerup(&powerup, &p);
        bombs += got == -1;
        EXPECT_EQ(got, (first & 3) == 0 ? -1 : second % 3 + 1) << seed;
        if (got > 0) {
            EXPECT_EQ(std::rand(), third) << "a boost draws twice";
        }
    }
    EXPECT_GT(bombs, 30);
}

TEST_F(Powerups, WhatFollowsACollection)
{
    const char *names[] = {"Bomb !", "Growth !", "Speed !", "Resistance !"};
    for (int kind : {-1, 1, 2, 3}) {
        SetUp();
        spawnPowerup(&powerup, 5, 0, 5);
        Player &p = players[1];
        p.x = 5.3f, p.y = 0.15f, p.z = 5; // centre 0.3 across and 0.4 above the base
        p.velocity = {1, 0, 0};
        p.powerupActive = 1, p.powerupStage = 0.5f, p.powerupExpire = 9;
        nextPowerupSpawn = -2;
        std::srand(seedFor(kind));
        collectPowerup(1);
        EXPECT_STREQ(messages[1].text.data(), names[kind < 0 ? 0 : kind]);
        EXPECT_EQ(p.powerup * 10 + powerupActive, kind < 0 ? 0 : kind * 10 + 1);
        if (kind > 0) { // fifteen seconds, built up from 0
            EXPECT_EQ(std::make_pair(p.powerupStage, p.powerupExpire), std::make_pair(0.0f, 15.0f));
            EXPECT_EQ(nextPowerupSpawn, -2.0f);
            continue;
        }
        // A bomb blasts the ball away from the base with 750 sparks there; a
        // boost in force goes on, and the next spawn is scheduled.
        expectNear(p.velocity, {1 + 6.0f, 8.0f, 0});
        EXPECT_EQ(p.grounded, 0);
        EXPECT_EQ(nextParticle, 750);
        EXPECT_EQ(particles[0].y, 0.0f);
        EXPECT_EQ(std::make_pair(p.powerupStage, p.powerupExpire), std::make_pair(0.5f, 9.0f));
        EXPECT_TRUE(nextPowerupSpawn >= 15 && nextPowerupSpawn <= 24) << nextPowerupSpawn;
    }
}

TEST_F(Powerups, SpawnsWhenDueFallsLandsAndCyclesItsColour)
{
    std::set<float> seen;
    for (int i = 0; i < 2000; ++i)
        seen.insert(getNextPowerupSpawn());
    EXPECT_EQ(seen, (std::set<float>{15, 16, 17, 18, 19, 20, 21, 22, 23, 24}));
    for (auto [next, active, spawns] : {std::tuple{0.01f, 0, 0}, {0.0f, 1, 0}, {0.0f, 0, 1}}) {
        nextPowerupSpawn = next, powerupActive = active;
        spawnPowerupIfDue();
        EXPECT_EQ(powerup.active, spawns);
    }
    // The spawn frame leaves it in place; it lands exactly on the ground,
    // white until its first frame there.
    heightmap.fill(100);
    spawnPowerup(&powerup, 5, 1.02f, 5);
    for (float y : {1.02f, 1.01f, 1.0f}) {
        updatePowerup(&powerup, heightmap.data(), 10, 0.1f);
        EXPECT_FLOAT_EQ(powerup.y, y);
        EXPECT_EQ(rgb, (std::array<float, 3>{1, 1, 1}));
    }
    // Hue to colour at saturation 0.85, lightness 0.5; 390 wraps to 30.
    const std::array<float, 4> hues[] = {
        {0, 0.925f, 0.075f, 0.075f}, {120, 0.075f, 0.925f, 0.075f}, {390, 0.925f, 0.5f, 0.075f}};
    for (const auto &[hue, r, g, b] : hues) {
        ticker = 0;
        updatePowerup(&powerup, heightmap.data(), 10, hue / 180.0f);
        expectNear({rgb[0], rgb[1], rgb[2]}, {r, g, b}, 1e-4f);
    }
}

TEST_F(Powerups, BoostBuildsUpInFourSecondsLastsFifteenAndFadesOut)
{
    // kind; radius, mass, top speed, acceleration and resistance at full stage
    const std::array<float, 6> cases[] = {
        {1, 0.5f, 1.5f, 4, 12, 0},
        {2, 0.25f, 1, 6, 18, 0},
        {3, 0.25f, 1, 4, 12, 0.5f},
        {4, 0.25f, 1, 4, 12, 0}}; // a kind outside 1..3 changes nothing
    for (const auto &[kind, radius, mass, maxSpeed, acceleration, resistance] : cases) {
        SetUp();
        Player &p = players[0];
        toggleBoost(static_cast<int>(kind));         // as F11 and F12 grant one
        for (int frame = 1; frame <= 240; ++frame) { // sixteenths of a second add up exactly
            update(0.0625f);
            EXPECT_EQ(p.powerupStage, std::min(frame / 64.0f, 1.0f));
        }
        EXPECT_EQ((std::array{p.radius, p.mass, p.maxSpeed, p.acceleration, p.resistance,
                              float(p.powerupActive)}),
                  (std::array{radius, mass, maxSpeed, acceleration, resistance, 1.0f}));
        update(0.0625f); // fifteen seconds: over, and the next spawn scheduled
        EXPECT_EQ(p.powerupActive + powerupActive, 0);
        const float next = nextPowerupSpawn + 0.0625f; // counted down in the same frame
        EXPECT_TRUE(next >= 15 && next <= 24 && next == std::floor(next)) << next;
        for (int frame = 0; frame < 64; ++frame)
            update(0.0625f);
        EXPECT_EQ((std::array{p.powerupStage, p.radius, p.mass, p.maxSpeed, p.acceleration,
                              p.resistance}),
                  (std::array{0.0f, 0.25f, 1.0f, 4.0f, 12.0f, 0.0f}));
    }
}

} // namespace
