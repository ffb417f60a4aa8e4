// SPDX-License-Identifier: GPL-3.0-or-later
// The procedural ground texture: lattice noise, octaves and texels.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
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

// Generates quietly, the fast form or the plain one, and returns the texels.
std::vector<unsigned char> generated(const Terrain &t, std::uint32_t s, bool reference = false)
{
    std::FILE *out = std::fopen("/dev/null", "w");
    texture.fill(0);
    (reference ? generateTextureReference : generateTexture)(t, s, out);
    std::fclose(out);
    return {texture.begin(), texture.end()};
}

} // namespace

TEST(Noise, LatticeValuesTheSeedShiftAndTheCosineBlend)
{
    seed = 0;
    EXPECT_EQ(noise(0, 0), -0.28179097f);
    EXPECT_EQ(noise(1, 0), -0.22637305f);
    EXPECT_EQ(noise(0, 1), 0.20434399f);
    const float minusOne = noise(-1, 0), far = noise(57, 3);
    seed = 0xffffffffu; // x + seed wraps in unsigned arithmetic
    EXPECT_EQ(noise(0, 0), minusOne);
    seed = 12345;
    EXPECT_EQ(noise(57 - 12345, 3), far);

    EXPECT_EQ(interpolate(0.25f, -0.75f, 0), 0.25f);
    EXPECT_EQ(interpolate(0.25f, -0.75f, 1), -0.75f);
    EXPECT_NEAR(interpolate(0, 1, 0.25f), 0.1464466f, 1e-6); // (1 - cos(pi/4)) / 2, not 0.25
    EXPECT_EQ(interpolatedNoise(7.0f, 3.0f), noise(7, 3));
    EXPECT_NEAR(interpolatedNoise(7.5f, 3.0f), (noise(7, 3) + noise(8, 3)) / 2, 1e-6);
    EXPECT_NEAR(interpolatedNoise(7.0f, 3.5f), (noise(7, 3) + noise(7, 4)) / 2, 1e-6);
}

TEST(Noise2d, EightOctavesWeighedByPersistenceAndClamped)
{
    seed = 0;
    EXPECT_EQ(noise2d(0, 0, 0.5f), -0.5613805f);
    seed = 5;
    int clamped = 0;
    for (float x = 0; x < 5; x += 0.113f)
        for (float y = 0; y < 5; y += 0.127f) {
            float sum = 0;
            for (int o = 0; o < 8; ++o)
                sum += interpolatedNoise(x * (1 << o), y * (1 << o));
            ASSERT_EQ(noise2d(x, y, 1), std::clamp(sum, -1.0f, 1.0f));
            ASSERT_EQ(noise2d(x, y, 0), interpolatedNoise(x, y));
            clamped += std::abs(sum) > 1;
        }
    EXPECT_GT(clamped, 0);
}

TEST(Texture, TexelsAtTheirCoordinatesInTheirRangeAndTheFastFormEqualsThePlain)
{
    // Noise -1..1 maps onto 255 - 2 range .. 255, truncated; large ranges wrap.
    const std::array<float, 3> texels[] = {
        {-1, 40, 175}, {1, 40, 255},   {0.99f, 40, 254}, {-0.5613805f, 40, 193},
        {-1, 0, 255},  {0.5f, 0, 255}, {0, 200, 55}};
    for (auto [n, range, texel] : texels)
        EXPECT_EQ(texelValue(n, static_cast<int>(range)), texel) << n << " " << range;

    // Column along s, row along t: a swap of the axes shows here.
    const std::vector<unsigned char> t = generated(noiseTerrain(0.6f, 40), 2024);
    EXPECT_EQ(seed, 2024u);
    for (const auto &[col, row] : {std::pair{511, 0}, {0, 511}, {511, 511}, {3, 200}, {97, 401}})
        EXPECT_EQ(t[row * 512 + col],
                  texelValue(noise2d(col / 512.0f * 5.0f, row / 512.0f * 5.0f, 0.6f), 40))
            << "column " << col << " row " << row;
    const auto [lo, hi] = std::minmax_element(t.begin(), t.end());
    EXPECT_TRUE(*lo >= 175 && *lo < 200 && *hi > 230) << int(*lo) << ".." << int(*hi);

    ::testing::internal::CaptureStdout();
    generateTexture(noiseTerrain(0.5f, 40), 3);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Generating texture\n" + std::string(79, '.') + "\n");

    std::uint32_t s = 0;
    const float persistences[] = {0.5f, 0, 1, 0.55f, 1.7f}, ranges[] = {40, 40, 127, 200, 25};
    for (int k = 0; k < 5; ++k) {
        const Terrain n = noiseTerrain(persistences[k], static_cast<int>(ranges[k]));
        EXPECT_TRUE(generated(n, s) == generated(n, s, true))
            << "persistence " << n.noisePersistence << " range " << n.noiseRange << " seed " << s;
        s = s * 2654435761u + 0xfffffff0u;
    }
}
