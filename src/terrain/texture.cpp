// SPDX-License-Identifier: GPL-3.0-or-later
#include "terrain/texture.h"

#include <cfloat>
#include <cmath>

#include "terrain/terrain.h"

namespace
{

constexpr int kOctaves = 8;
constexpr double kNoisePi = 3.1415927;

// The lattice hash; unsigned so that its wrap-around is defined.
inline float lattice(std::uint32_t x, std::uint32_t y, std::uint32_t s)
{
    std::uint32_t n = x + y * 57u + s;
    n = (n << 13) ^ n;
    const std::uint32_t m = (n * (n * n * 15731u + 789221u) + 1376312589u) & 0x7fffffffu;
    return static_cast<float>(1.0 - m / 1073741824.0);
}

// Cosine blend weight of b for a fraction x; the cosine is taken in double.
inline float cosineWeight(float x)
{
    const float ft = static_cast<float>(x * kNoisePi);
    return static_cast<float>((1 - std::cos(static_cast<double>(ft))) * 0.5);
}

float octaveFactor(double base, int octave)
{
    const double v = std::pow(base, octave);
    if (v > FLT_MAX)
        return FLT_MAX;
    if (v < -FLT_MAX)
        return -FLT_MAX;
    return static_cast<float>(v);
}

// Texel column (or row) c in base-octave lattice units: 5 cells over the texture.
inline float texelCoordinate(int c)
{
    return static_cast<float>(c) / 512.0f * 5.0f;
}

inline float clampNoise(float total)
{
    if (total < -1)
        return -1;
    if (total > 1)
        return 1;
    return total;
}

void catchUpDots(int &dotsDrawn, int lastTexel, std::FILE *progress)
{
    const int dots = static_cast<int>(static_cast<double>(lastTexel) / kTexels * 80);
    while (dotsDrawn < dots) {
        std::fputc('.', progress);
        std::fflush(progress);
        ++dotsDrawn;
    }
}

// Where a texel column (or row) falls in one octave's lattice: its cell and
// the cosine weights of the far side (w) and the near side (1 - w).
struct OctaveAxis {
    std::array<int, kTextureSize> cell;
    std::array<float, kTextureSize> w;
    std::array<float, kTextureSize> omw;
};

// One lattice row blended along x at every texel column.
struct BlendedRow {
    int row = -1;
    std::array<float, kTextureSize> value;
};

void blendRow(const OctaveAxis &axis, int row, BlendedRow &out)
{
    // The lattice values the columns need, each hashed once.
    std::array<float, kTextureSize * 2 + 2> lat;
    const int last = axis.cell[kTextureSize - 1] + 1;
    for (int k = 0; k <= last; ++k)
        lat[k] = lattice(static_cast<std::uint32_t>(k), static_cast<std::uint32_t>(row), seed);
    for (int c = 0; c < kTextureSize; ++c) {
        const int k = axis.cell[c];
        out.value[c] = lat[k] * axis.omw[c] + lat[k + 1] * axis.w[c];
    }
    out.row = row;
}

} // namespace

float noise(int x, int y)
{
    return lattice(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), seed);
}

float interpolate(float a, float b, float x)
{
    const float f = cosineWeight(x);
    return a * (1 - f) + b * f;
}

float interpolatedNoise(float x, float y)
{
    const int ix = static_cast<int>(x);
    const int iy = static_cast<int>(y);
    const float v1 = noise(ix, iy);
    const float v2 = noise(ix + 1, iy);
    const float v3 = noise(ix, iy + 1);
    const float v4 = noise(ix + 1, iy + 1);
    const float i1 = interpolate(v1, v2, x - ix);
    const float i2 = interpolate(v3, v4, x - ix);
    return interpolate(i1, i2, y - iy);
}

float noise2d(float x, float y, float persistence)
{
    float total = 0;
    for (int octive = 0; octive < kOctaves; ++octive) {
        const float frequency = octaveFactor(2.0, octive);
        const float amplitude = octaveFactor(persistence, octive);
        total += interpolatedNoise(x * frequency, y * frequency) * amplitude;
    }
    return clampNoise(total);
}

void fixNoiseSeed(std::uint32_t first)
{
    noiseSeedFixed = true;
    fixedNoiseSeed = first;
}

std::uint32_t nextNoiseSeed(std::uint32_t ticks)
{
    return noiseSeedFixed ? fixedNoiseSeed++ : ticks;
}

unsigned char texelValue(float n, int range)
{
    const float scaled = n * static_cast<float>(range);
    // Only a NaN (or a noise far outside [-1, 1]) could break the conversion.
    const long long t = std::fabs(scaled) < 1e18f ? static_cast<long long>(scaled) : 0;
    return static_cast<unsigned char>((t - range - 1) & 0xff);
}

void generateTextureReference(const Terrain &t, std::uint32_t noiseSeed, std::FILE *progress)
{
    seed = noiseSeed;
    std::fputs("Generating texture\n", progress);
    int dotsDrawn = 0;
    for (int i = 0; i < kTexels; ++i) {
        const float x = texelCoordinate(i % kTextureSize);
        const float y = texelCoordinate(i / kTextureSize);
        texture[i] = texelValue(noise2d(x, y, t.noisePersistence), t.noiseRange);
        catchUpDots(dotsDrawn, i, progress);
    }
    std::fputc('\n', progress);
}

void generateTexture(const Terrain &t, std::uint32_t noiseSeed, std::FILE *progress)
{
    seed = noiseSeed;
    std::fputs("Generating texture\n", progress);

    // Rows and columns share one coordinate formula, so one table per octave
    // serves both; the cosines are taken once here instead of per texel.
    std::array<OctaveAxis, kOctaves> axes;
    std::array<float, kOctaves> amplitude;
    for (int o = 0; o < kOctaves; ++o) {
        const float frequency = octaveFactor(2.0, o);
        amplitude[o] = octaveFactor(t.noisePersistence, o);
        for (int c = 0; c < kTextureSize; ++c) {
            const float x = texelCoordinate(c) * frequency;
            const int cell = static_cast<int>(x);
            axes[o].cell[c] = cell;
            axes[o].w[c] = cosineWeight(x - cell);
            axes[o].omw[c] = 1 - axes[o].w[c];
        }
    }

    // Per octave, the two lattice rows around the current texel row, already
    // blended along x; neighbouring texel rows mostly share them.
    std::array<BlendedRow, kOctaves> near;
    std::array<BlendedRow, kOctaves> far;
    std::array<float, kTextureSize> total;
    int dotsDrawn = 0;
    for (int r = 0; r < kTextureSize; ++r) {
        total.fill(0);
        for (int o = 0; o < kOctaves; ++o) {
            const OctaveAxis &axis = axes[o];
            const int row = axis.cell[r];
            if (near[o].row != row) {
                if (far[o].row == row)
                    near[o] = far[o];
                else
                    blendRow(axis, row, near[o]);
                blendRow(axis, row + 1, far[o]);
            }
            const float wy = axis.w[r];
            const float omwy = axis.omw[r];
            const float amp = amplitude[o];
            const float *lo = near[o].value.data();
            const float *hi = far[o].value.data();
            for (int c = 0; c < kTextureSize; ++c)
                total[c] += (lo[c] * omwy + hi[c] * wy) * amp;
        }
        unsigned char *out = texture.data() + r * kTextureSize;
        for (int c = 0; c < kTextureSize; ++c)
            out[c] = texelValue(clampNoise(total[c]), t.noiseRange);
        catchUpDots(dotsDrawn, r * kTextureSize + kTextureSize - 1, progress);
    }
    std::fputc('\n', progress);
}
