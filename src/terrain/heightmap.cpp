// SPDX-License-Identifier: GPL-3.0-or-later
#include "terrain/heightmap.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "core/random.h"
#include "terrain/terrain.h"

namespace
{

constexpr double kCirclePi = 3.14159265359;

constexpr int index(int i, int j)
{
    return j * kGridSize + i;
}

// Doubles that a silly definition blows past the float range saturate
// instead of leaving the conversion undefined.
float toFloat(double v)
{
    if (v > FLT_MAX)
        return FLT_MAX;
    if (v < -FLT_MAX)
        return -FLT_MAX;
    return static_cast<float>(v);
}

// trunc() of a raise. Anything beyond +-255 saturates the byte anyway, so
// clamping far outside that changes nothing; a NaN raise leaves the point.
int truncRaise(double raise)
{
    if (std::isnan(raise))
        return 0;
    return static_cast<int>(std::clamp(raise, -1000.0, 1000.0));
}

// The one per-point rule both forms share, so they cannot drift apart.
inline void raisePoint(unsigned char *heightmap, int vx, int vy, const Circle &c)
{
    const float dx = vx - c.a;
    const float dy = vy - c.b;
    const float pd =
        static_cast<float>(2 * std::sqrt(static_cast<double>(dx * dx + dy * dy)) / c.size);
    if (pd >= -1 && pd <= 1) {
        const int raise = truncRaise(c.height * std::cos(pd * kCirclePi) / 2 + c.height / 2);
        unsigned char &h = heightmap[index(vx, vy)];
        // Negative heights dig, but never below the floor.
        h = static_cast<unsigned char>(std::clamp(h + raise, 0, 255));
    }
}

void finishHeightMap(unsigned char *heightmap, const Terrain &t)
{
    if (t.invert)
        for (int k = 0; k < kGridPoints; ++k)
            heightmap[k] = static_cast<unsigned char>(255 - heightmap[k]);
    unsigned char lowest = 255;
    for (int k = 0; k < kGridPoints; ++k)
        lowest = std::min(lowest, heightmap[k]);
    for (int k = 0; k < kGridPoints; ++k)
        heightmap[k] = static_cast<unsigned char>(heightmap[k] - lowest);
}

template <class Raise>
void generate(unsigned char *heightmap, const Terrain &t, std::FILE *progress, Raise raise)
{
    std::fill_n(heightmap, kGridPoints, 0);
    std::fputs("Generating terrain\n", progress);
    const int n = circleCount(t);
    int dotsDrawn = 0;
    for (int k = 0; k < n; ++k) {
        const int dots = static_cast<int>(static_cast<double>(k) / n * 80);
        while (dotsDrawn < dots) {
            std::fputc('.', progress);
            std::fflush(progress);
            ++dotsDrawn;
        }
        raise(heightmap, drawCircle(t, k, n));
    }
    std::fputc('\n', progress);
    finishHeightMap(heightmap, t);
}

} // namespace

int circleCount(const Terrain &t)
{
    const double n = static_cast<double>(t.circlesPerCell) * 22500;
    if (!(n > 0))
        return 0;
    // One circle per cell is already a field of bumps; a denser line would
    // only keep the player waiting (1e9 would be hours), so it gets as many.
    if (n >= kMaxCircles)
        return kMaxCircles;
    return static_cast<int>(n);
}

float circleHeightAt(const Terrain &t, int k, int n)
{
    const double decay = std::pow(std::cos(static_cast<double>(k) / n * kCirclePi / 2),
                                  static_cast<double>(t.circleHeightFactor));
    return toFloat(t.circleHeight * decay);
}

Circle drawCircle(const Terrain &t, int k, int n)
{
    Circle c{};
    c.a = static_cast<float>(gameUniform() * 151.0);
    c.b = static_cast<float>(gameUniform() * 151.0);
    c.height = circleHeightAt(t, k, n);
    c.size = toFloat(t.circleSizeMin + (t.circleSizeMax - t.circleSizeMin) * gameUniform());
    return c;
}

void raiseCircle(unsigned char *heightmap, const Circle &c)
{
    const double radius = std::fabs(static_cast<double>(c.size)) / 2;
    // A huge or NaN size: leave the per-point rule to sort out the whole grid.
    if (!(radius < 1e5)) {
        raiseCircleReference(heightmap, c);
        return;
    }
    // One grid unit of slack on every bound keeps float rounding of the
    // per-point test well inside the rows and spans visited.
    const double reach = radius + 1;
    const int top = std::max(0, static_cast<int>(std::floor(c.b - reach)));
    const int bottom = std::min(kGridCells, static_cast<int>(std::ceil(c.b + reach)));
    for (int vy = top; vy <= bottom; ++vy) {
        const double dy = vy - static_cast<double>(c.b);
        const double half = std::sqrt(std::max(0.0, reach * reach - dy * dy)) + 1;
        const int left = std::max(0, static_cast<int>(std::floor(c.a - half)));
        const int right = std::min(kGridCells, static_cast<int>(std::ceil(c.a + half)));
        for (int vx = left; vx <= right; ++vx)
            raisePoint(heightmap, vx, vy, c);
    }
}

void raiseCircleReference(unsigned char *heightmap, const Circle &c)
{
    for (int k = 0; k < kGridPoints; ++k)
        raisePoint(heightmap, k % kGridSize, k / kGridSize, c);
}

void generateHeightMap(unsigned char *heightmap, const Terrain &t, std::FILE *progress)
{
    generate(heightmap, t, progress, raiseCircle);
}

void generateHeightMapReference(unsigned char *heightmap, const Terrain &t, std::FILE *progress)
{
    generate(heightmap, t, progress, raiseCircleReference);
}

float getAverageHeight(const unsigned char *heightmap)
{
    // At most 22801 * 255: a float holds the sum exactly.
    float sum = 0;
    for (int k = 0; k < kGridPoints; ++k)
        sum += heightmap[k];
    return static_cast<float>(sum * 0.01 / 22801.0);
}

float getHeight(const unsigned char *heightmap, int x, int y)
{
    return static_cast<float>(heightmap[index(x, y)] * 0.01);
}

int inRange(const unsigned char *, float x, float y)
{
    return x >= 0 && x <= 15 && y >= 0 && y <= 15;
}

float getRealHeight(const unsigned char *heightmap, float x, float y)
{
    if (!inRange(heightmap, x, y))
        return -1.0f;
    // x = 15 lands in the last cell with a fraction of 1, never past index 150.
    const int cellx = std::min(static_cast<int>(x / 0.1), kGridCells - 1);
    const int celly = std::min(static_cast<int>(y / 0.1), kGridCells - 1);
    const float localx = static_cast<float>(x / 0.1 - cellx);
    const float localy = static_cast<float>(y / 0.1 - celly);
    const float h00 = getHeight(heightmap, cellx, celly);
    const float h10 = getHeight(heightmap, cellx + 1, celly);
    const float h01 = getHeight(heightmap, cellx, celly + 1);
    const float h11 = getHeight(heightmap, cellx + 1, celly + 1);
    const float topy = h00 + (h10 - h00) * localx;
    const float boty = h01 + (h11 - h01) * localx;
    return topy + (boty - topy) * localy;
}

vector gridPoint(const unsigned char *heightmap, int i, int j)
{
    return {static_cast<float>(i * 0.1), getHeight(heightmap, i, j), static_cast<float>(j * 0.1)};
}

vector heightMapNormal(const unsigned char *heightmap, int i, int j)
{
    const vector p = gridPoint(heightmap, i, j);
    const auto edge = [&](int ni, int nj) {
        const vector q = gridPoint(heightmap, ni, nj);
        return getVector(p.x, p.y, p.z, q.x, q.y, q.z);
    };
    const bool v1exists = j + 1 <= kGridCells;
    const bool v2exists = i + 1 <= kGridCells;
    const bool v3exists = j - 1 >= 0;
    const bool v4exists = i - 1 >= 0;
    const vector v1 = v1exists ? edge(i, j + 1) : vector{};
    const vector v2 = v2exists ? edge(i + 1, j) : vector{};
    const vector v3 = v3exists ? edge(i, j - 1) : vector{};
    const vector v4 = v4exists ? edge(i - 1, j) : vector{};

    vector n{0, 0, 0};
    if (v1exists && v2exists)
        n = sumVectors(n, normalise(crossProduct(v1, v2)));
    if (v2exists && v3exists)
        n = sumVectors(n, normalise(crossProduct(v2, v3)));
    if (v3exists && v4exists)
        n = sumVectors(n, normalise(crossProduct(v3, v4)));
    if (v4exists && v1exists)
        n = sumVectors(n, normalise(crossProduct(v4, v1)));
    return normalise(n);
}

void gridColumn(const unsigned char *heightmap, int i, GridColumn &column)
{
    for (int j = 0; j < kGridSize; ++j)
        column[j] = {heightMapNormal(heightmap, i, j), gridPoint(heightmap, i, j)};
}
