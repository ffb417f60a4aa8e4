// SPDX-License-Identifier: GPL-3.0-or-later
// The frame update's fast paths against the plain forms they replaced, bit
// for bit: the particles' ground heights and moves, and the slope samples.

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "core/random.h"
#include "fixture.h"

namespace
{

using FastPaths = Sim;

// updateParticles as first written: the height queries for every live slot.
void updateParticlesPlain(float gravity, float seconds)
{
    for (Particle &p : particles) {
        if (p.active != 1)
            continue;
        const float ground = getRealHeight(heightmap.data(), p.x, p.z);
        p.x += p.velocity.x * seconds;
        p.y += p.velocity.y * seconds;
        p.z += p.velocity.z * seconds;
        if (ground >= p.y - 0.02f && inRange(heightmap.data(), p.x, p.z)) {
            p.y = ground + 0.02f;
            p.velocity = {p.velocity.x * 0.5f, p.velocity.y * -0.5f, p.velocity.z * 0.5f};
        } else {
            p.velocity.y += -gravity * 0.1f * seconds;
        }
        p.life -= p.fade * seconds;
        if (p.life <= 0.0f)
            p.active = 0;
    }
}

// applyGravity on the ground as first written: sine and cosine every time.
void slopePlain(Player *player, float seconds)
{
    int lowest = -1;
    float lowestHeight = player->y;
    double lowestAngle = 0;
    for (int i = 0; i < 32; ++i) {
        const double angle = static_cast<double>(i) / 32 * 2 * std::numbers::pi;
        const float height =
            getRealHeight(heightmap.data(), static_cast<float>(player->x + 0.1 * std::cos(angle)),
                          static_cast<float>(player->z + 0.1 * std::sin(-angle)));
        if (height >= 0 && height < lowestHeight)
            lowest = i, lowestHeight = height, lowestAngle = angle;
    }
    if (lowest == -1)
        return;
    const float drop = player->y - lowestHeight;
    const float pull = static_cast<float>(terrain->gravity * player->mass * drop /
                                          std::sqrt(0.1 * 0.1 + drop * drop));
    const vector down = normalise({static_cast<float>(0.1 * std::cos(lowestAngle)), 0,
                                   static_cast<float>(0.1 * std::sin(-lowestAngle))});
    player->velocity = sumVectors(player->velocity, multiply(down, pull * seconds));
}

bool same(const void *a, const void *b, std::size_t n)
{
    return std::memcmp(a, b, n) == 0;
}

// A rough field of random bytes: neighbouring heights differ a lot.
void roughField(std::mt19937 &rng)
{
    for (unsigned char &h : heightmap)
        h = static_cast<unsigned char>(rng());
}

TEST(GridArithmetic, EveryFloatOnTheFieldTimesTenIsItsQuotientByATenth)
{
    // The ground query splits x / 0.1 into a cell and an offset; the fast
    // paths multiply by 10. Equal doubles for every float from 0 to 15.
    std::uint64_t different = 0;
    for (std::uint32_t bits = 0; bits <= std::bit_cast<std::uint32_t>(15.0f); ++bits) {
        const float x = std::bit_cast<float>(bits);
        different += (x / 0.1 != x * 10.0);
    }
    EXPECT_EQ(different, 0u);
}

TEST_F(FastPaths, ParticlesGroundsAndMovesAsThePlainLoopHasThem)
{
    // Corners of the arithmetic: the edges and just past them, cell borders,
    // signed zeros, tiny, huge and not-a-number.
    std::vector<float> awkward = {-0.0f, 15.0f, 15.000001f, -1e-45f,  1e-45f,    1e-30f, -1.0f,
                                  16.0f, 1e30f, -1e30f,     INFINITY, -INFINITY, NAN};
    for (int k = 0; k <= 150; ++k)
        for (float to : {0.0f, 7.5f, 16.0f})
            awkward.push_back(std::nextafter(static_cast<float>(k * 0.1), to));
    std::mt19937 rng(2);
    std::uniform_real_distribution<float> across(-0.5f, 15.5f);
    std::array<float, kParticleCount> ground{};
    for (int round = 0; round < 6; ++round) {
        roughField(rng);
        if (round == 1)
            heightmap.fill(255);
        seedGameRand(static_cast<unsigned>(round));
        initParticles();
        for (int b = 0; b < 6; ++b) // bursts low over the field and near its edges
            createExplosion(across(rng), across(rng) / 8, across(rng), 0.2f, 0.5f + round, 1, 1, 1,
                            0, 0, 0);
        createTrail(14.9f, 0.5f, 0.1f, {3.0f, 1.0f, -2.0f}, 300, 1.0f, 1, 1, 1, 0, 0, 1);
        for (std::size_t i = 0; i < particles.size() && round % 2 == 0; ++i) {
            particles[i].x = awkward[i % awkward.size()];
            particles[i].z = i % 5 ? awkward[(i * 7 + round) % awkward.size()]
                                   : particles[i].x;       // the corners too
            particles[i].active = static_cast<int>(i % 4); // 1 live; 0, 2 and 3 not
        }
        groundUnderParticles(heightmap.data(), &ground);
        for (std::size_t i = 0; i < particles.size(); ++i) {
            const float plain = getRealHeight(heightmap.data(), particles[i].x, particles[i].z);
            ASSERT_TRUE(same(&ground[i], &plain, sizeof plain))
                << i << ": " << particles[i].x << ", " << particles[i].z;
        }
        auto plain = particles;
        for (int frame = 0; frame < 120; ++frame) {
            const float seconds = frame % 5 == 0 ? 0.1f : 1.0f / 60.0f;
            const float gravity = round == 3 ? -4.0f : 9.81f; // one field pushes upward
            updateParticles(heightmap.data(), gravity, seconds);
            std::swap(plain, particles);
            updateParticlesPlain(gravity, seconds);
            std::swap(plain, particles);
            ASSERT_TRUE(same(&particles, &plain, sizeof plain)) << round << ", frame " << frame;
        }
    }
}

TEST_F(FastPaths, SlopePullIsTheSameAsWithFreshSinesAndCosines)
{
    std::mt19937 rng(4);
    std::uniform_real_distribution<float> across(-0.3f, 15.3f), unit(0.0f, 1.0f);
    for (int round = 0; round < 10; ++round) {
        roughField(rng);
        for (int k = 0; k < 2000; ++k) {
            Player p{};
            p.x = across(rng), p.z = across(rng), p.y = unit(rng) * 3.0f, p.mass = 0.5f + unit(rng);
            p.grounded = 1;
            p.velocity = {unit(rng) - 0.5f, 0.0f, unit(rng) - 0.5f};
            Player plain = p;
            applyGravity(&p, 1.0f / 60.0f);
            slopePlain(&plain, 1.0f / 60.0f);
            ASSERT_TRUE(same(&p.velocity, &plain.velocity, sizeof p.velocity))
                << p.x << ", " << p.y << ", " << p.z;
        }
    }
}

} // namespace
