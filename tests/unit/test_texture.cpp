#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "terrain/terrain.h"
#include "terrain/texture.h"

namespace
{

Terrain noiseTerrain(float persistence, int range)
{
    Terrain t{};
    t.noisePersistence = persistence;
    t.noiseRange = range;
    return t;
}

// Generates quietly and returns the texels; the reference form on request.
std::vector<unsigned char> generated(const Terrain &t, std::uint32_t s, bool reference = false)
{
    std::FILE *out = std::fopen("/dev/null", "w");
    texture.fill(0);
    (reference ? generateTextureReference : generateTexture)(t, s, out);
    std::fclose(out);
    return {texture.begin(), texture.end()};
}

} // namespace

TEST(Noise, SeedZeroValuesAndTheSeedShiftingTheLatticeAlongX)
{
    seed = 0;
    EXPECT_EQ(noise(0, 0), -0.28179097f);
    EXPECT_EQ(noise(1, 0), -0.22637305f);
    EXPECT_EQ(noise(0, 1), 0.20434399f);
    const float minusOne = noise(-1, 0);
    for (std::uint32_t s : {1u, 57u, 12345u, 0xfffffff0u, 0xffffffffu})
        for (int x = 0; x < 40; x += 3)
            for (int y = 0; y < 40; y += 7) {
                seed = s;
                const float shifted = noise(x, y);
                seed = 0;
                // x + s wraps in unsigned arithmetic, as the hash does.
                EXPECT_EQ(shifted, noise(static_cast<int>(static_cast<std::uint32_t>(x) + s), y))
                    << "seed " << s << " at " << x << "," << y;
            }
    seed = 0xffffffffu;
    EXPECT_EQ(noise(0, 0), minusOne);
}

TEST(Interpolate, FollowsTheCosineTakenInDouble)
{
    EXPECT_EQ(interpolate(0.25f, -0.75f, 0), 0.25f);
    EXPECT_EQ(interpolate(0.25f, -0.75f, 1), -0.75f);
    // At a quarter the cosine weight is (1 - cos(pi/4)) / 2 = 0.1464466, not 0.25.
    EXPECT_NEAR(interpolate(0, 1, 0.25f), 0.1464466f, 1e-6);
    EXPECT_FLOAT_EQ(interpolate(10, 20, 0.5f), 15);
    // ft is a float of x * 3.1415927; its cosine is taken in double. A float
    // cosine or a float pi would round differently for many x.
    int wouldDiffer = 0;
    for (float x = 0; x <= 1; x += 1.0f / 4096) {
        const float ft = static_cast<float>(x * 3.1415927);
        const float f = static_cast<float>((1 - std::cos(static_cast<double>(ft))) * 0.5);
        wouldDiffer += f != static_cast<float>((1 - std::cos(ft)) * 0.5) ||
                       f != static_cast<float>((1 - std::cos(double{x * 3.1415927f})) * 0.5);
        ASSERT_EQ(interpolate(0.75f, -0.25f, x), 0.75f * (1 - f) + -0.25f * f) << "x " << x;
    }
    EXPECT_GT(wouldDiffer, 100);
    seed = 4242;
    for (int x = 0; x < 20; ++x)
        EXPECT_EQ(interpolatedNoise(static_cast<float>(x), 7.0f), noise(x, 7));
}

TEST(Noise2d, SeedZeroAndPersistenceZeroAndOne)
{
    seed = 0;
    EXPECT_EQ(noise2d(0, 0, 0.5f), -0.5613805f);
    // Persistence 0 leaves the base octave; 1 weighs all eight alike,
    // clamped to -1..1.
    seed = 5;
    int clamped = 0;
    for (float x = 0; x < 5; x += 0.113f)
        for (float y = 0; y < 5; y += 0.127f) {
            float sum = 0;
            for (int o = 0; o < 8; ++o)
                sum += interpolatedNoise(x * (1 << o), y * (1 << o));
            EXPECT_EQ(noise2d(x, y, 1), std::clamp(sum, -1.0f, 1.0f));
            clamped += std::abs(sum) > 1;
            EXPECT_EQ(noise2d(x, y, 0), interpolatedNoise(x, y));
        }
    EXPECT_GT(clamped, 0);
}

TEST(TexelValue, RangeMapsNoiseOntoTheTopOfTheByteAndLargeRangesWrap)
{
    EXPECT_EQ(texelValue(-1, 40), 175);
    EXPECT_EQ(texelValue(1, 40), 255);
    EXPECT_EQ(texelValue(-0.5613805f, 40), 193); // truncated toward zero
    EXPECT_EQ(texelValue(0.99f, 40), 254);
    for (float n = -1; n <= 1; n += 0.125f)
        EXPECT_EQ(texelValue(n, 0), 255);
    EXPECT_EQ(texelValue(0, 200), 55); // 0 - 200 - 1 = -201, whose low byte is 55
}

TEST(GenerateTexture, SeedZeroTexelsAndTexelsAtTheirCoordinates)
{
    generated(noiseTerrain(0.5f, 40), 0);
    EXPECT_EQ(seed, 0u);
    EXPECT_EQ(texture[0], 193);
    EXPECT_EQ(texture[512], 194);

    generated(noiseTerrain(0.6f, 40), 2024);
    EXPECT_EQ(seed, 2024u);
    // Column along s, row along t: a swap of the axes shows here.
    const int spots[][2] = {{511, 0}, {0, 511}, {511, 511}, {3, 200}, {200, 3}, {97, 401}};
    for (const auto &[col, row] : spots)
        EXPECT_EQ(texture[row * 512 + col],
                  texelValue(noise2d(col / 512.0f * 5.0f, row / 512.0f * 5.0f, 0.6f), 40))
            << "column " << col << " row " << row;

    // Range 0 is white; 40 stays within 175..255 and spreads over much of it.
    const std::vector<unsigned char> white = generated(noiseTerrain(0.5f, 0), 17);
    EXPECT_EQ(std::count(white.begin(), white.end(), 255), kTexels);
    const std::vector<unsigned char> band = generated(noiseTerrain(0.5f, 40), 17);
    const auto [lo, hi] = std::minmax_element(band.begin(), band.end());
    EXPECT_GE(*lo, 175);
    EXPECT_LT(*lo, 200);
    EXPECT_GT(*hi, 230);

    testing::internal::CaptureStdout();
    generateTexture(noiseTerrain(0.5f, 40), 3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Generating texture\n" + std::string(79, '.') + "\n");
}

TEST(GenerateTexture, MatchesTheReferenceBitForBit)
{
    std::vector<Terrain> ts = {noiseTerrain(0.5f, 40),   noiseTerrain(0.7f, 60),
                               noiseTerrain(0.0f, 40),   noiseTerrain(1.0f, 127),
                               noiseTerrain(0.55f, 200), noiseTerrain(1.7f, 25)};
    ASSERT_TRUE(loadTerrains(QUORBLY_DATA_DIR "/terrains"));
    ts.insert(ts.end(), terrains.begin(), terrains.end());
    destroyTerrains();
    std::uint32_t s = 0;
    for (const Terrain &t : ts) {
        EXPECT_TRUE(generated(t, s) == generated(t, s, true))
            << "persistence " << t.noisePersistence << " range " << t.noiseRange << " seed " << s;
        s = s * 2654435761u + 0xfffffff0u;
    }
}
