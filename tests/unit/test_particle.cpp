#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/state.h"
#include "sim/particle.h"

namespace
{

double u(int draw)
{
    return draw / 2147483648.0;
}

int liveCount()
{
    int n = 0;
    for (const Particle &p : particles)
        n += p.active;
    return n;
}

class Particles : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        resetGameState();
        heightmap.fill(100); // flat ground at height 1.0
        initParticles();
    }
    static void explode(float size)
    {
        createExplosion(5, 3, 5, size, 2.0f, 0.9f, 0.9f, 0.0f, 0.9f, 0.4f, 0.0f);
    }
    static void trail(int number)
    {
        createTrail(5, 3, 5, {1, 2, 3}, number, 1.0f, 1, 1, 1, 0, 0, 0);
    }
    // One live particle, placed by hand.
    static Particle &single(float x, float y, float z, vector velocity)
    {
        trail(1);
        Particle &p = particles[0];
        p.x = x;
        p.y = y;
        p.z = z;
        p.velocity = velocity;
        p.fade = 0;
        return p;
    }
};

TEST_F(Particles, RingBufferWrapsOnBurstsOfUpToTwiceThePool)
{
    // Full size fills the pool once, eight draws a particle, and comes back
    // to where it started; double size writes every slot twice.
    nextParticle = 37;
    std::srand(5);
    explode(1.0f);
    EXPECT_EQ(nextParticle, 37);
    EXPECT_EQ(liveCount(), kParticleCount);
    nextParticle = 100;
    std::srand(11);
    std::vector<int> draws(2 * kParticleCount * 8 + 1);
    for (int &d : draws)
        d = std::rand();
    std::srand(11);
    explode(2.0f);
    EXPECT_EQ(nextParticle, 100);
    EXPECT_EQ(std::rand(), draws.back());
    // Slot 100 holds the 2501st particle, the second pass.
    const std::size_t first = kParticleCount * 8;
    EXPECT_FLOAT_EQ(particles[100].fade, static_cast<float>(0.5 * (1 + u(draws[first]))));
    EXPECT_FLOAT_EQ(particles[100].velocity.x,
                    static_cast<float>((u(draws[first + 5]) - 0.5) * 10 * 2.0));
    initParticles();
    EXPECT_EQ(liveCount(), 0);
    EXPECT_EQ(nextParticle, 0);
}

TEST_F(Particles, CountsAreSizeTimesPoolTruncatedAndNothingForNoTrail)
{
    for (auto [size, count] : {std::pair{0.3f, 750}, {0.05f, 125}, {0.0003f, 0}}) {
        initParticles();
        explode(size);
        EXPECT_EQ(liveCount(), count) << size;
        EXPECT_EQ(nextParticle, count) << size;
    }
    // Small bursts keep the spread of size 0.1, not 0.25 as 0.05 itself would give.
    float widest = 0;
    for (int i = 0; i < 125; ++i)
        for (float v : {particles[i].velocity.x, particles[i].velocity.y, particles[i].velocity.z})
            widest = std::max(widest, std::abs(v));
    EXPECT_GT(widest, 0.45f);
    EXPECT_LE(widest, 0.5f);

    initParticles();
    nextParticle = 9;
    std::srand(3);
    const int next = std::rand();
    std::srand(3);
    trail(0);
    trail(-4);
    EXPECT_EQ(nextParticle, 9);
    EXPECT_EQ(liveCount(), 0);
    EXPECT_EQ(std::rand(), next);
}

// --- draws per particle, in order ---

TEST_F(Particles, TrailParticleDrawsFadeColourThenPosition)
{
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::srand(seed);
        std::array<int, 9> d{};
        for (int &v : d)
            v = std::rand();
        initParticles();
        std::srand(seed);
        createTrail(5, 3, 7, {1, 2, 3}, 1, 2.0f, 0.8f, 0.6f, 0.4f, 0.2f, 0.1f, 0.0f);
        const Particle &p = particles[0];
        EXPECT_EQ(p.active, 1);
        EXPECT_EQ(p.life, 1.0f);
        EXPECT_FLOAT_EQ(p.fade, static_cast<float>(0.5 * (1 + u(d[0]))));
        const bool first = d[1] % 2 == 1;
        EXPECT_FLOAT_EQ(p.r, static_cast<float>((first ? 0.8 : 0.2) + (u(d[2]) - 0.5) * 0.1));
        EXPECT_FLOAT_EQ(p.g, static_cast<float>((first ? 0.6 : 0.1) + (u(d[3]) - 0.5) * 0.1));
        EXPECT_NEAR(p.b, (first ? 0.4 : 0.0) + (u(d[4]) - 0.5) * 0.1, 1e-6);
        EXPECT_FLOAT_EQ(p.x, static_cast<float>(5 + (u(d[5]) - 0.5) * 0.5));
        EXPECT_FLOAT_EQ(p.y, static_cast<float>(3 + (u(d[6]) - 0.5) * 0.5));
        EXPECT_FLOAT_EQ(p.z, static_cast<float>(7 + (u(d[7]) - 0.5) * 0.5));
        EXPECT_EQ(p.velocity.x, 1.0f);
        EXPECT_EQ(p.velocity.z, 3.0f);
        EXPECT_EQ(std::rand(), d[8]);
        EXPECT_EQ(nextParticle, 1);
    }
}

// --- flight, bounce, life ---

TEST_F(Particles, FallsUnderATenthOfTheGravityAndDeadSlotsStayPut)
{
    Particle &p = single(5, 3, 5, {1, 0, 0});
    updateParticles(heightmap.data(), 10, 0.1f);
    EXPECT_FLOAT_EQ(p.x, 5.1f);
    EXPECT_EQ(p.y, 3.0f);
    EXPECT_FLOAT_EQ(p.velocity.y, -0.1f);
    p.active = 0;
    updateParticles(heightmap.data(), 10, 0.1f);
    EXPECT_FLOAT_EQ(p.x, 5.1f);
    EXPECT_FLOAT_EQ(p.velocity.y, -0.1f);
}

TEST_F(Particles, BouncesAtExactlyPointZeroTwoAboveTheGround)
{
    const float target = 1.0f + 0.02f;
    ASSERT_EQ(target - 0.02f, 1.0f);
    Particle &p = single(5, target + 0.5f, 5, {2, -4, -6});
    ASSERT_EQ(p.y - 0.5f, target);
    updateParticles(heightmap.data(), 10, 0.125f);
    EXPECT_EQ(p.y, target);
    EXPECT_EQ(p.velocity.x, 1.0f);
    EXPECT_EQ(p.velocity.y, 2.0f);
    EXPECT_EQ(p.velocity.z, -3.0f);

    Particle &q = single(5, 1.53f, 5, {0, -4, 0}); // ends just above the band
    updateParticles(heightmap.data(), 10, 0.125f);
    EXPECT_FLOAT_EQ(q.y, 1.03f);
    EXPECT_FLOAT_EQ(q.velocity.y, -4.125f);
}

TEST_F(Particles, NeverBouncesOffTheField)
{
    Particle &p = single(14.99f, 0.9f, 5, {1, -1, 0}); // crosses the edge below ground level
    updateParticles(heightmap.data(), 10, 0.1f);
    EXPECT_FLOAT_EQ(p.y, 0.8f);
    EXPECT_LT(p.velocity.y, -1.0f);
    for (int frame = 0; frame < 30; ++frame)
        updateParticles(heightmap.data(), 10, 0.1f);
    EXPECT_LT(p.y, -1.0f); // straight through the -1 that off-field ground reads
    EXPECT_LT(p.velocity.y, -1.0f);
}

TEST_F(Particles, LiveBetweenHalfAndAllOfTheirTime)
{
    std::srand(31);
    trail(400);
    std::vector<float> died(400, -1);
    constexpr float step = 1.0f / 60;
    for (int frame = 1; frame <= 90; ++frame) {
        updateParticles(heightmap.data(), 10, step);
        for (std::size_t i = 0; i < died.size(); ++i)
            if (died[i] < 0 && particles[i].active == 0)
                died[i] = frame * step;
    }
    float earliest = 2, latest = 0;
    for (float t : died) {
        ASSERT_GT(t, 0);
        earliest = std::min(earliest, t);
        latest = std::max(latest, t);
    }
    EXPECT_GE(earliest, 0.5f);
    EXPECT_LE(latest, 1.0f + step);
    EXPECT_LT(earliest, 0.55f); // the whole range is used
    EXPECT_GT(latest, 0.95f);
}

} // namespace
