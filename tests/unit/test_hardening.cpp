// Regressions of what the fuzzers and the soak found: every one of these
// once hung, overflowed or computed an undefined conversion.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <unistd.h>

#include "core/state.h"
#include "sim/particle.h"
#include "sim/powerup.h"
#include "terrain/heightmap.h"
#include "terrain/terrain.h"
#include "terrain_file.h"

namespace
{

Terrain smallBumps(float circlesPerCell)
{
    Terrain t{};
    t.circlesPerCell = circlesPerCell;
    t.circleSizeMin = 1;
    t.circleSizeMax = 2;
    t.circleHeight = 50;
    t.circleHeightFactor = 1;
    t.gravity = 9.81f;
    t.friction = 0.5f;
    return t;
}

int liveParticles()
{
    int n = 0;
    for (const Particle &p : particles)
        n += p.active == 1 ? 1 : 0;
    return n;
}

} // namespace

// A density of 1e9 asked for 22.5e9 circles: the grid never finished.
TEST(CircleCount, NeverMoreThanOnePerCell)
{
    EXPECT_EQ(kMaxCircles, 22500);
    EXPECT_EQ(circleCount(smallBumps(1.0f)), 22500);
    EXPECT_EQ(circleCount(smallBumps(0.999f)), 22477);
    EXPECT_EQ(circleCount(smallBumps(2.0f)), 22500);
    EXPECT_EQ(circleCount(smallBumps(1e9f)), 22500);
    EXPECT_EQ(circleCount(smallBumps(FLT_MAX)), 22500);
    EXPECT_EQ(circleCount(smallBumps(std::numeric_limits<float>::infinity())), 22500);
}

TEST(CircleCount, AHugeDensityStillGivesAGridWithItsDots)
{
    std::FILE *out = std::tmpfile();
    ASSERT_TRUE(out);
    std::array<unsigned char, kGridPoints> grid{};
    std::srand(3);
    generateHeightMap(grid.data(), smallBumps(1e9f), out);
    std::rewind(out);
    char text[200] = {};
    const std::size_t n = std::fread(text, 1, sizeof text - 1, out);
    std::fclose(out);
    EXPECT_EQ(std::string(text, n), "Generating terrain\n" + std::string(79, '.') + "\n");
}

// The reader took any finite gravity or friction; 1e30 made every speed
// infinite within a few frames.
class ForceLimits : public TerrainFileTest
{
  protected:
    static std::string line(const char *name, const char *gravity, const char *friction)
    {
        return std::string(name) + ",0.004,20,60,80,2,0," + gravity + "," + friction +
               ",0.9,0.8,0.5,0.3,0.25,0.1,0.6,40\n";
    }
};

TEST_F(ForceLimits, TenThousandEitherWayIsTheLimit)
{
    ASSERT_TRUE(load(line("A", "10000", "-10000") + line("B", "-10000", "10000") +
                     line("C", "10000.5", "1") + line("D", "1", "-1e5") + line("E", "1e30", "0") +
                     line("F", "0", "0")));
    ASSERT_EQ(numTerrains, 3);
    EXPECT_STREQ(terrains[0].name.data(), "A");
    EXPECT_EQ(terrains[0].gravity, 10000.0f);
    EXPECT_EQ(terrains[0].friction, -10000.0f);
    EXPECT_STREQ(terrains[1].name.data(), "B");
    EXPECT_STREQ(terrains[2].name.data(), "F");
    for (int l : {3, 4, 5}) {
        const std::string said = "line " + std::to_string(l) +
                                 ": gravity or friction beyond 10000 either way, skipped\n";
        EXPECT_NE(output.find(said), std::string::npos) << output;
    }
    EXPECT_EQ(output.find("line 1:"), std::string::npos) << output;
}

TEST_F(ForceLimits, AFileOfOnlyWildForcesHoldsNoTerrain)
{
    EXPECT_FALSE(load(line("G", "3e38", "1")));
    EXPECT_NE(output.find("holds no terrain"), std::string::npos) << output;
}

// A collision of wild speeds asked for billions of sparks: the count
// overflowed (undefined) or froze the frame.
class Bursts : public ::testing::Test
{
  protected:
    void SetUp() override { initParticles(); }
    void burst(float size) { createExplosion(5, 1, 5, size, 2.0f, 1, 1, 0, 1, 0.5f, 0); }
};

TEST_F(Bursts, AWildSizeFillsThePoolAndStopsAfterEightPasses)
{
    nextParticle = 42;
    std::srand(9);
    for (int i = 0; i < 8 * kParticleCount * 8; ++i)
        std::rand();
    const int after = std::rand();
    for (float size : {100.0f, 1e6f, 1e30f, std::numeric_limits<float>::infinity()}) {
        initParticles();
        nextParticle = 42;
        std::srand(9);
        burst(size);
        EXPECT_EQ(liveParticles(), kParticleCount) << size;
        EXPECT_EQ(nextParticle, 42) << size;
        EXPECT_EQ(std::rand(), after) << size << ": eight passes of eight draws";
    }
}

TEST_F(Bursts, SizesUpToEightKeepTheirExactCount)
{
    nextParticle = 0;
    burst(7.5f); // 18750 sparks
    EXPECT_EQ(nextParticle, 18750 % kParticleCount);
    initParticles();
    burst(8.0f); // 20000, exactly eight passes
    EXPECT_EQ(nextParticle, 0);
    EXPECT_EQ(liveParticles(), kParticleCount);
}

TEST_F(Bursts, ANotANumberSizeMakesNoSparks)
{
    burst(std::numeric_limits<float>::quiet_NaN());
    burst(-1e30f);
    EXPECT_EQ(liveParticles(), 0);
    EXPECT_EQ(nextParticle, 0);
}

// The hue was brought into 0..360 by subtracting 360 in a loop: after long
// play with the powerup out that is a long loop, and where a float step is
// coarser than 360 it comes out wrong (or never ends).
TEST(PowerupHue, StaysExactWhateverTheTicker)
{
    resetGameState();
    Powerup p{};
    p.active = 1;
    p.grounded = 1;
    for (auto [tick, hue] :
         {std::pair{0.0f, 0.0f}, {1000.25f, 45.0f}, {1e7f, 0.0f}, {4194305.0f, 192.0f}}) {
        ticker = tick;
        updatePowerup(&p, heightmap.data(), 9.81f, 0.0f);
        EXPECT_EQ(hval, hue) << tick;
        EXPECT_GE(hval, 0.0f);
        EXPECT_LT(hval, 360.0f);
    }
    ticker = 0;
}
