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

// Progress output goes nowhere in the tests that do not look at it.
struct NullOut {
    std::FILE *f = std::fopen("/dev/null", "w");
    ~NullOut() { std::fclose(f); }
};

std::vector<unsigned char> texels()
{
    return {texture.begin(), texture.end()};
}

// The texel coordinate the texture uses for column or row c.
float coord(int c)
{
    return static_cast<float>(c) / 512.0f * 5.0f;
}

} // namespace

// The lattice hash.

TEST(Noise, SeedZeroValues)
{
    seed = 0;
    EXPECT_EQ(noise(0, 0), -0.28179097f);
    EXPECT_EQ(noise(1, 0), -0.22637305f);
    EXPECT_EQ(noise(0, 1), 0.20434399f);
}

TEST(Noise, SeedShiftsTheLatticeAlongX)
{
    const std::uint32_t seeds[] = {1, 57, 12345, 0x7fffffffu, 0xfffffff0u};
    for (std::uint32_t s : seeds) {
        for (int x = 0; x < 40; x += 3) {
            for (int y = 0; y < 40; y += 7) {
                seed = s;
                const float shifted = noise(x, y);
                seed = 0;
                // x + s wraps like the hash does.
                const int wrapped = static_cast<int>(static_cast<std::uint32_t>(x) + s);
                EXPECT_EQ(shifted, noise(wrapped, y)) << "seed " << s << " at " << x << "," << y;
            }
        }
    }
}

TEST(Noise, StaysInsideMinusOneToOne)
{
    seed = 777;
    float lo = 2, hi = -2;
    for (int x = -300; x < 300; ++x)
        for (int y = -30; y < 30; ++y) {
            const float v = noise(x, y);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    EXPECT_GT(lo, -1.0f);
    EXPECT_LE(hi, 1.0f);
    // A hash that spread its values badly would not come near both ends.
    EXPECT_LT(lo, -0.99f);
    EXPECT_GT(hi, 0.99f);
}

TEST(Noise, NegativeCoordinatesAreDefined)
{
    seed = 0;
    // -1 + 57 * 0 wraps to 0xffffffff; same as the seed doing the shift.
    const float a = noise(-1, 0);
    seed = 0xffffffffu;
    EXPECT_EQ(a, noise(0, 0));
}

// Cosine interpolation.

TEST(Interpolate, EndsAndMiddle)
{
    const float pairs[][2] = {{0.25f, -0.75f}, {-1, 1}, {0.3f, 0.3f}, {10, 20}};
    for (const auto &p : pairs) {
        EXPECT_EQ(interpolate(p[0], p[1], 0), p[0]);
        EXPECT_EQ(interpolate(p[0], p[1], 1), p[1]);
        EXPECT_FLOAT_EQ(interpolate(p[0], p[1], 0.5f), (p[0] + p[1]) / 2);
    }
}

TEST(Interpolate, FollowsTheCosineNotAStraightLine)
{
    // At a quarter the cosine weight is (1 - cos(pi/4)) / 2 = 0.1464466, not 0.25.
    EXPECT_NEAR(interpolate(0, 1, 0.25f), 0.1464466f, 1e-6);
    EXPECT_NEAR(interpolate(0, 1, 0.75f), 0.8535534f, 1e-6);
}

TEST(Interpolate, WeightTakesItsCosineInDouble)
{
    // ft is a float of x * 3.1415927; the cosine of it is taken in double.
    // A float cosine or a float pi would round differently for many x.
    int wouldDiffer = 0;
    for (float x = 0; x <= 1; x += 1.0f / 4096) {
        const float ft = static_cast<float>(x * 3.1415927);
        const float f = static_cast<float>((1 - std::cos(static_cast<double>(ft))) * 0.5);
        const float fFloat = static_cast<float>((1 - std::cos(ft)) * 0.5);
        const float fPi =
            static_cast<float>((1 - std::cos(static_cast<double>(x * 3.1415927f))) * 0.5);
        wouldDiffer += f != fFloat || f != fPi;
        ASSERT_EQ(interpolate(0.75f, -0.25f, x), 0.75f * (1 - f) + -0.25f * f) << "x " << x;
    }
    EXPECT_GT(wouldDiffer, 100);
}

TEST(InterpolatedNoise, EqualsTheLatticeAtIntegers)
{
    seed = 4242;
    for (int x = 0; x < 20; ++x)
        for (int y = 0; y < 20; ++y)
            EXPECT_EQ(interpolatedNoise(static_cast<float>(x), static_cast<float>(y)), noise(x, y));
}

TEST(InterpolatedNoise, StaysBetweenItsFourCorners)
{
    seed = 99;
    for (float x = 0.05f; x < 6; x += 0.37f)
        for (float y = 0.05f; y < 6; y += 0.41f) {
            const int ix = static_cast<int>(x), iy = static_cast<int>(y);
            const float c[] = {noise(ix, iy), noise(ix + 1, iy), noise(ix, iy + 1),
                               noise(ix + 1, iy + 1)};
            const float v = interpolatedNoise(x, y);
            EXPECT_GE(v, *std::min_element(c, c + 4) - 1e-6f);
            EXPECT_LE(v, *std::max_element(c, c + 4) + 1e-6f);
        }
}

// Octaves.

TEST(Noise2d, SeedZeroTexelZero)
{
    seed = 0;
    EXPECT_EQ(noise2d(0, 0, 0.5f), -0.5613805f);
}

TEST(Noise2d, PersistenceZeroLeavesTheBaseOctave)
{
    seed = 31337;
    for (float x = 0; x < 5; x += 0.29f)
        for (float y = 0; y < 5; y += 0.31f)
            EXPECT_EQ(noise2d(x, y, 0), interpolatedNoise(x, y));
}

TEST(Noise2d, PersistenceOneWeighsEveryOctaveAlike)
{
    seed = 5;
    int clampedHigh = 0, clampedLow = 0, inside = 0;
    for (float x = 0; x < 5; x += 0.113f)
        for (float y = 0; y < 5; y += 0.127f) {
            float sum = 0;
            for (int o = 0; o < 8; ++o)
                sum += interpolatedNoise(x * (1 << o), y * (1 << o));
            const float v = noise2d(x, y, 1);
            if (sum > 1) {
                EXPECT_EQ(v, 1.0f);
                ++clampedHigh;
            } else if (sum < -1) {
                EXPECT_EQ(v, -1.0f);
                ++clampedLow;
            } else {
                EXPECT_EQ(v, sum);
                ++inside;
            }
        }
    // Eight equal octaves reach past +-1 often; the clamp must have been seen.
    EXPECT_GT(clampedHigh, 0);
    EXPECT_GT(clampedLow, 0);
    EXPECT_GT(inside, 0);
}

TEST(Noise2d, HalfPersistenceHalvesEachOctave)
{
    seed = 8;
    for (float x = 0.1f; x < 5; x += 0.7f) {
        const float y = 4.9f - x;
        float sum = 0;
        for (int o = 0; o < 8; ++o)
            sum += interpolatedNoise(x * (1 << o), y * (1 << o)) * std::ldexp(1.0f, -o);
        EXPECT_EQ(noise2d(x, y, 0.5f), std::clamp(sum, -1.0f, 1.0f));
    }
}

// Texels.

TEST(TexelValue, RangeMapsNoiseOntoTheTopOfTheByte)
{
    EXPECT_EQ(texelValue(-1, 40), 175);
    EXPECT_EQ(texelValue(1, 40), 255);
    EXPECT_EQ(texelValue(0, 40), 215);
    // Truncated toward zero on both sides.
    EXPECT_EQ(texelValue(-0.5613805f, 40), 193);
    EXPECT_EQ(texelValue(0.99f, 40), 254);
    for (float n = -1; n <= 1; n += 0.125f)
        EXPECT_EQ(texelValue(n, 0), 255);
}

TEST(TexelValue, LargeRangesWrapAround)
{
    // 0 - 200 - 1 = -201, whose low byte is 55.
    EXPECT_EQ(texelValue(0, 200), 55);
    EXPECT_EQ(texelValue(1, 300), 255);
    EXPECT_EQ(texelValue(-1, 128), static_cast<unsigned char>(-128 - 128 - 1));
}

TEST(GenerateTexture, SeedZeroTexels)
{
    NullOut out;
    generateTexture(noiseTerrain(0.5f, 40), 0, out.f);
    EXPECT_EQ(seed, 0u);
    EXPECT_EQ(texture[0], 193);
    EXPECT_EQ(texture[512], 194);
}

TEST(GenerateTexture, TexelsFollowNoise2dAtTheirCoordinates)
{
    NullOut out;
    const Terrain t = noiseTerrain(0.6f, 40);
    generateTexture(t, 2024, out.f);
    EXPECT_EQ(seed, 2024u);
    // Column along s, row along t: a swap of the axes shows here.
    const int spots[][2] = {{0, 0}, {511, 0}, {0, 511}, {511, 511}, {3, 200}, {200, 3}, {97, 401}};
    for (const auto &s : spots)
        EXPECT_EQ(texture[s[1] * 512 + s[0]],
                  texelValue(noise2d(coord(s[0]), coord(s[1]), 0.6f), 40))
            << "column " << s[0] << " row " << s[1];
}

TEST(GenerateTexture, RangeZeroIsWhite)
{
    NullOut out;
    generateTexture(noiseTerrain(0.5f, 0), 17, out.f);
    EXPECT_TRUE(
        std::all_of(texture.begin(), texture.end(), [](unsigned char v) { return v == 255; }));
}

TEST(GenerateTexture, RangeFortyStaysWithinItsBand)
{
    NullOut out;
    generateTexture(noiseTerrain(0.5f, 40), 17, out.f);
    const auto [lo, hi] = std::minmax_element(texture.begin(), texture.end());
    EXPECT_GE(*lo, 175);
    EXPECT_LE(*hi, 255);
    // Real noise spreads over much of the band.
    EXPECT_LT(*lo, 200);
    EXPECT_GT(*hi, 230);
}

TEST(GenerateTexture, ADifferentSeedGivesADifferentTexture)
{
    NullOut out;
    generateTexture(noiseTerrain(0.5f, 40), 1000, out.f);
    const std::vector<unsigned char> first = texels();
    generateTexture(noiseTerrain(0.5f, 40), 1001, out.f);
    EXPECT_NE(first, texels());
}

TEST(GenerateTexture, PrintsTheBarOfDots)
{
    testing::internal::CaptureStdout();
    generateTexture(noiseTerrain(0.5f, 40), 3);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "Generating texture\n" + std::string(79, '.') + "\n");
}

// The fast generator against the plain one, bit for bit.

TEST(GenerateTexture, MatchesTheReferenceBitForBit)
{
    NullOut out;
    struct Case {
        float persistence;
        int range;
        std::uint32_t seed;
    };
    const Case cases[] = {
        {0.5f, 40, 0},  {0.6f, 40, 123456},   {0.7f, 60, 987},  {0.3f, 15, 0xfffffff0u},
        {0.0f, 40, 55}, {1.0f, 127, 4000000}, {0.55f, 200, 31}, {1.7f, 25, 8},
    };
    for (const Case &c : cases) {
        const Terrain t = noiseTerrain(c.persistence, c.range);
        generateTextureReference(t, c.seed, out.f);
        const std::vector<unsigned char> expected = texels();
        texture.fill(0);
        generateTexture(t, c.seed, out.f);
        const std::vector<unsigned char> got = texels();
        int firstDiff = -1;
        for (int i = 0; i < kTexels && firstDiff < 0; ++i)
            if (got[i] != expected[i])
                firstDiff = i;
        EXPECT_EQ(firstDiff, -1) << "persistence " << c.persistence << " range " << c.range
                                 << " seed " << c.seed;
    }
}

TEST(GenerateTexture, MatchesTheReferenceOnTheShippedTerrains)
{
    if (!loadTerrains(QUORBLY_DATA_DIR "/terrains"))
        GTEST_SKIP() << "no shipped terrains";
    NullOut out;
    std::uint32_t s = 1;
    for (const Terrain &t : terrains) {
        generateTextureReference(t, s, out.f);
        const std::vector<unsigned char> expected = texels();
        texture.fill(0);
        generateTexture(t, s, out.f);
        EXPECT_TRUE(texels() == expected) << t.name.data();
        s = s * 2654435761u + 17;
    }
    destroyTerrains();
}
