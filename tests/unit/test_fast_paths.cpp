// The frame update's fast paths against the plain forms they replaced: the
// particles' ground heights and moves, and the slope samples of the balls.
// Every comparison is bit for bit.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "core/state.h"
#include "sim/particle.h"
#include "sim/player.h"
#include "sim/update.h"
#include "terrain/heightmap.h"
#include "terrain/terrain.h"

namespace
{

using Pool = std::array<Particle, kParticleCount>;

// updateParticles as it was first written: two calls into the height queries
// for every live slot.
void updateParticlesPlain(const unsigned char *heightmap, float gravity, float seconds)
{
    const float acceleration = -gravity * 0.1f;
    for (Particle &p : particles) {
        if (p.active != 1)
            continue;
        const float ground = getRealHeight(heightmap, p.x, p.z);
        p.x += p.velocity.x * seconds;
        p.y += p.velocity.y * seconds;
        p.z += p.velocity.z * seconds;
        if (ground >= p.y - 0.02f && inRange(heightmap, p.x, p.z)) {
            p.y = ground + 0.02f;
            p.velocity.x *= 0.5f;
            p.velocity.z *= 0.5f;
            p.velocity.y *= -0.5f;
        } else {
            p.velocity.y += acceleration * seconds;
        }
        p.life -= p.fade * seconds;
        if (p.life <= 0.0f)
            p.active = 0;
    }
}

// applyGravity as it was first written: sine and cosine of every sample's
// angle, every time.
void applyGravityPlain(Player *player, float seconds)
{
    if (player->grounded == 0) {
        const vector fall{0, -player->mass * terrain->gravity, 0};
        player->velocity = sumVectors(player->velocity, multiply(fall, seconds));
        return;
    }
    int lowest = -1;
    float lowestHeight = player->y;
    double lowestAngle = 0;
    for (int i = 0; i < 32; ++i) {
        const double angle = static_cast<double>(i) / 32 * 2 * std::numbers::pi;
        const float sx = static_cast<float>(player->x + 0.1 * std::cos(angle));
        const float sz = static_cast<float>(player->z + 0.1 * std::sin(-angle));
        const float height = getRealHeight(heightmap.data(), sx, sz);
        if (height >= 0 && height < lowestHeight) {
            lowest = i;
            lowestHeight = height;
            lowestAngle = angle;
        }
    }
    if (lowest == -1)
        return;
    const float drop = player->y - lowestHeight;
    const float gravityComponent = static_cast<float>(terrain->gravity * player->mass * drop /
                                                      std::sqrt(0.1 * 0.1 + drop * drop));
    const vector down = normalise({static_cast<float>(0.1 * std::cos(lowestAngle)), 0,
                                   static_cast<float>(0.1 * std::sin(-lowestAngle))});
    player->velocity = sumVectors(player->velocity, multiply(down, gravityComponent * seconds));
}

bool sameBits(float a, float b)
{
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

bool samePool(const Pool &a, const Pool &b)
{
    return std::memcmp(a.data(), b.data(), sizeof(Pool)) == 0;
}

// A rough field: random bytes, so neighbouring heights differ a lot.
void roughField(std::mt19937 &rng)
{
    std::uniform_int_distribution<int> byte(0, 255);
    for (unsigned char &h : heightmap)
        h = static_cast<unsigned char>(byte(rng));
}

// Coordinates where the arithmetic has its corners: the field's edges and
// just past them, cell borders, signed zeros, tiny, huge and not-a-number.
std::vector<float> awkwardCoordinates()
{
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> v = {0.0f,
                            -0.0f,
                            15.0f,
                            std::nextafter(15.0f, 16.0f),
                            std::nextafter(15.0f, 0.0f),
                            std::nextafter(0.0f, -1.0f),
                            std::numeric_limits<float>::denorm_min(),
                            std::numeric_limits<float>::min(),
                            1e-30f,
                            14.95f,
                            14.9f,
                            7.5f,
                            -1.0f,
                            16.0f,
                            1e30f,
                            -1e30f,
                            inf,
                            -inf,
                            std::numeric_limits<float>::quiet_NaN()};
    for (int k = 0; k <= 150; ++k) {
        const float border = static_cast<float>(k * 0.1);
        v.push_back(border);
        v.push_back(std::nextafter(border, 0.0f));
        v.push_back(std::nextafter(border, 16.0f));
    }
    return v;
}

class FastPaths : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        resetGameState();
        flat = {};
        std::strcpy(flat.name.data(), "Test");
        flat.gravity = 9.81f;
        flat.friction = 0.5f;
        terrain = &flat;
        initParticles();
    }
    void TearDown() override { initParticles(); }

    Terrain flat{};
};

TEST(GridArithmetic, EveryFloatOnTheFieldTimesTenIsItsQuotientByATenth)
{
    // The ground query splits x / 0.1 into a cell and an offset; the fast
    // paths multiply by 10 instead. Equal doubles for every float that can
    // reach that arithmetic (0 to 15; -0 too), so equal cells and offsets.
    const std::uint32_t last = std::bit_cast<std::uint32_t>(15.0f);
    std::uint64_t different = 0;
    for (std::uint32_t bits = 0; bits <= last; ++bits) {
        const float x = std::bit_cast<float>(bits);
        different += (x / 0.1 != x * 10.0);
    }
    EXPECT_EQ(different, 0u);
    EXPECT_TRUE(sameBits(static_cast<float>(-0.0f / 0.1), static_cast<float>(-0.0f * 10.0)));
}

TEST_F(FastPaths, GroundUnderEverySlotIsTheHeightQuery)
{
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> across(-0.5f, 15.5f);
    const std::vector<float> awkward = awkwardCoordinates();
    std::array<float, kParticleCount> ground{};
    for (int field = 0; field < 20; ++field) {
        roughField(rng);
        if (field == 1)
            heightmap.fill(255);
        for (std::size_t i = 0; i < particles.size(); ++i) {
            // Every other field, pairs of awkward coordinates; else random spots.
            const std::size_t n = awkward.size();
            const bool edge = field % 2 == 0;
            particles[i].x = edge ? awkward[i % n] : across(rng);
            particles[i].z =
                edge ? awkward[(i * 131 + static_cast<std::size_t>(field) * 7) % n] : across(rng);
            particles[i].active = static_cast<int>(i % 3 != 0);
        }
        groundUnderParticles(heightmap.data(), &ground);
        for (std::size_t i = 0; i < particles.size(); ++i) {
            const float expected = getRealHeight(heightmap.data(), particles[i].x, particles[i].z);
            ASSERT_TRUE(sameBits(ground[i], expected))
                << "slot " << i << " at (" << particles[i].x << ", " << particles[i].z
                << "): " << ground[i] << " instead of " << expected;
        }
    }
}

TEST_F(FastPaths, ParticlesMoveBounceAndDieAsThePlainLoopHasThem)
{
    std::mt19937 rng(2);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int round = 0; round < 6; ++round) {
        roughField(rng);
        std::srand(static_cast<unsigned>(round));
        initParticles();
        // Bursts low over the field and near its edges, and a trail.
        for (int b = 0; b < 6; ++b)
            createExplosion(unit(rng) * 16.0f - 0.5f, unit(rng) * 2.0f, unit(rng) * 16.0f - 0.5f,
                            0.2f + unit(rng) * 0.3f, 0.5f + unit(rng) * 3.0f, 0.9f, 0.9f, 0.5f,
                            0.9f, 0.7f, 0.0f);
        createTrail(14.9f, 0.5f, 0.1f, {3.0f, 1.0f, -2.0f}, 300, 1.0f, 1, 1, 1, 0, 0, 1);
        Pool plain = particles;
        for (int frame = 0; frame < 240; ++frame) {
            const float seconds = frame % 5 == 0 ? 0.1f : 1.0f / 60.0f;
            const float gravity = round == 3 ? -4.0f : 9.81f; // one field pushes upward
            updateParticles(heightmap.data(), gravity, seconds);
            Pool fast = particles;
            particles = plain;
            updateParticlesPlain(heightmap.data(), gravity, seconds);
            plain = particles;
            ASSERT_TRUE(samePool(fast, plain)) << "round " << round << ", frame " << frame;
            particles = fast;
        }
    }
}

TEST_F(FastPaths, DeadAndOffFieldSlotsAreLeftAsThePlainLoopLeavesThem)
{
    std::mt19937 rng(3);
    roughField(rng);
    const std::vector<float> awkward = awkwardCoordinates();
    for (std::size_t i = 0; i < particles.size(); ++i) {
        Particle &p = particles[i];
        p.active = static_cast<int>(i % 4); // 0 and 2, 3 are not live
        p.life = 1.0f;
        p.fade = 0.5f;
        p.x = awkward[i % awkward.size()];
        p.z = awkward[(i * 7) % awkward.size()];
        p.y = static_cast<float>(i % 5) * 0.3f - 0.2f;
        p.velocity = {static_cast<float>(i % 3) - 1.0f, -1.0f, 0.5f};
    }
    const Pool start = particles;
    updateParticlesPlain(heightmap.data(), 9.81f, 0.05f);
    const Pool plain = particles;
    particles = start;
    updateParticles(heightmap.data(), 9.81f, 0.05f);
    EXPECT_TRUE(samePool(particles, plain));
}

TEST_F(FastPaths, SlopePullIsTheSameAsWithFreshSinesAndCosines)
{
    std::mt19937 rng(4);
    std::uniform_real_distribution<float> across(-0.3f, 15.3f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int field = 0; field < 10; ++field) {
        roughField(rng);
        for (int k = 0; k < 2000; ++k) {
            Player p{};
            p.x = across(rng);
            p.z = across(rng);
            p.y = unit(rng) * 3.0f;
            p.mass = 0.5f + unit(rng);
            p.grounded = k % 10 == 0 ? 0 : 1;
            p.velocity = {unit(rng) - 0.5f, 0.0f, unit(rng) - 0.5f};
            Player plain = p;
            applyGravity(&p, 1.0f / 60.0f);
            applyGravityPlain(&plain, 1.0f / 60.0f);
            ASSERT_TRUE(sameBits(p.velocity.x, plain.velocity.x) &&
                        sameBits(p.velocity.y, plain.velocity.y) &&
                        sameBits(p.velocity.z, plain.velocity.z))
                << "ball at (" << p.x << ", " << p.y << ", " << p.z << ")";
        }
    }
}

} // namespace
