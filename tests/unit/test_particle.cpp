// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdlib>

#include "fixture.h"

namespace
{

using Particles = Sim;

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

void explode(float size)
{
    createExplosion(5, 3, 5, size, 2.0f, 0.9f, 0.9f, 0.0f, 0.9f, 0.4f, 0.0f);
}

TEST_F(Particles, BurstsOfSizeTimesThePoolInARingWithTheirDrawsInOrder)
{
    // size, where the ring starts, where it ends, live slots after
    const std::array<float, 4> cases[] = {{1.0f, 37, 37, 2500},
                                          {2.0f, 100, 100, 2500},
                                          {0.3f, 0, 750, 750},
                                          {0.05f, 0, 125, 125},
                                          {0.0003f, 9, 9, 0}};
    for (const auto &[size, from, to, live] : cases) {
        initParticles();
        nextParticle = static_cast<int>(from);
        explode(size);
        EXPECT_EQ(nextParticle, to) << size;
        EXPECT_EQ(liveCount(), live) << size;
    }
    // Small bursts keep the velocity spread of size 0.1.
    std::srand(3);
    std::array<int, 9> d{};
    for (int &v : d)
        v = std::rand();
    std::srand(3);
    initParticles();
    createExplosion(5, 3, 7, 0.05f, 2.0f, 0.8f, 0.6f, 0.4f, 0.2f, 0.1f, 0.0f);
    const Particle &e = particles[0];
    EXPECT_FLOAT_EQ(e.velocity.x, static_cast<float>((u(d[5]) - 0.5) * 10 * 0.1));
    EXPECT_FLOAT_EQ(e.velocity.z, static_cast<float>((u(d[7]) - 0.5) * 10 * 0.1));
    EXPECT_EQ(e.x + e.y + e.z, 15.0f);

    // A trail particle: fade, colour pick and jitter, then a cube of 0.5 around
    // the point, all in that order; nothing at all for no particles.
    std::srand(3);
    initParticles();
    createTrail(5, 3, 7, {1, 2, 3}, 0, 2.0f, 1, 1, 1, 0, 0, 0);
    createTrail(5, 3, 7, {1, 2, 3}, 1, 2.0f, 0.8f, 0.6f, 0.4f, 0.2f, 0.1f, 0.0f);
    const Particle &p = particles[0];
    const bool first = d[1] % 2 == 1;
    EXPECT_EQ(p.life, 1.0f);
    EXPECT_FLOAT_EQ(p.fade, static_cast<float>(0.5 * (1 + u(d[0]))));
    EXPECT_FLOAT_EQ(p.r, static_cast<float>((first ? 0.8 : 0.2) + (u(d[2]) - 0.5) * 0.1));
    EXPECT_FLOAT_EQ(p.g, static_cast<float>((first ? 0.6 : 0.1) + (u(d[3]) - 0.5) * 0.1));
    EXPECT_FLOAT_EQ(p.x, static_cast<float>(5 + (u(d[5]) - 0.5) * 0.5));
    EXPECT_FLOAT_EQ(p.y, static_cast<float>(3 + (u(d[6]) - 0.5) * 0.5));
    EXPECT_FLOAT_EQ(p.z, static_cast<float>(7 + (u(d[7]) - 0.5) * 0.5));
    EXPECT_EQ(p.velocity.y, 2.0f);
    EXPECT_EQ(std::rand(), d[8]);
    EXPECT_EQ(nextParticle, 1);
}

TEST_F(Particles, FallUnderATenthOfTheGravityBounceDampedOnTheFieldOnlyAndFade)
{
    heightmap.fill(100); // flat ground at 1.0
    struct Case {
        vector from, velocity, to, after; // after: the velocity
        float seconds;
    };
    const float touching = 1.0f + 0.02f + 0.5f; // 0.02 above the ground after the step
    const Case cases[] = {
        {{5, 3, 5}, {1, 0, 0}, {5.1f, 3, 5}, {1, -0.1f, 0}, 0.1f},
        {{5, touching, 5}, {2, -4, -6}, {5.25f, 1.02f, 4.25f}, {1, 2, -3}, 0.125f},
        {{5, 1.53f, 5}, {0, -4, 0}, {5, 1.03f, 5}, {0, -4.125f, 0}, 0.125f},
        {{14.99f, 0.9f, 5}, {1, -1, 0}, {15.09f, 0.8f, 5}, {1, -1.1f, 0}, 0.1f}, // off the field
    };
    for (const Case &c : cases) {
        initParticles();
        createTrail(0, 0, 0, c.velocity, 1, 1, 1, 1, 1, 1, 1, 1);
        Particle &p = particles[0];
        p.x = c.from.x, p.y = c.from.y, p.z = c.from.z;
        updateParticles(heightmap.data(), 10, c.seconds);
        expectNear({p.x, p.y, p.z}, c.to);
        expectNear(p.velocity, c.after);
    }
    // Each lives between half and all of its time.
    initParticles();
    createTrail(5, 3, 5, {}, 400, 1.0f, 1, 1, 1, 0, 0, 0);
    for (auto [frames, live] : {std::pair{29, 400}, {32, 0}}) {
        for (int frame = 0; frame < frames; ++frame)
            updateParticles(heightmap.data(), 10, 1.0f / 60);
        EXPECT_EQ(liveCount(), live);
    }
}

} // namespace
