#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "sim/player.h"
#include "terrain/heightmap.h"
#include "terrain/terrain.h"

namespace
{

using Grid = std::array<unsigned char, kGridPoints>;

Terrain circles(float perCell, float sizeMin, float sizeMax, float height, float factor,
                int invert = 0)
{
    Terrain t{};
    t.circlesPerCell = perCell;
    t.circleSizeMin = sizeMin;
    t.circleSizeMax = sizeMax;
    t.circleHeight = height;
    t.circleHeightFactor = factor;
    t.invert = invert;
    return t;
}

struct NullOut {
    std::FILE *f = std::fopen("/dev/null", "w");
    ~NullOut() { std::fclose(f); }
};

unsigned char &at(Grid &g, int i, int j)
{
    return g[j * kGridSize + i];
}

Grid filled(unsigned char v)
{
    Grid g;
    g.fill(v);
    return g;
}

// Heights rising by `step` bytes per column along +x.
Grid slopeAlongX(int step)
{
    Grid g{};
    for (int j = 0; j < kGridSize; ++j)
        for (int i = 0; i < kGridSize; ++i)
            at(g, i, j) = static_cast<unsigned char>(std::min(255, step * i));
    return g;
}

Grid generated(const Terrain &t, unsigned seedValue, bool reference = false)
{
    NullOut out;
    Grid g;
    g.fill(77); // generation must start from a clean grid
    std::srand(seedValue);
    if (reference)
        generateHeightMapReference(g.data(), t, out.f);
    else
        generateHeightMap(g.data(), t, out.f);
    return g;
}

std::string progress(const Terrain &t)
{
    Grid g{};
    testing::internal::CaptureStdout();
    std::srand(1);
    generateHeightMap(g.data(), t);
    return testing::internal::GetCapturedStdout();
}

} // namespace

// Circle count, heights and draws.

TEST(Circles, CountIsTruncatedFromTheFloatDensity)
{
    EXPECT_EQ(circleCount(circles(0.01f, 10, 30, 100, 1)), 224);
    EXPECT_EQ(circleCount(circles(0.004f, 10, 30, 100, 1)), 90);
    EXPECT_EQ(circleCount(circles(0.02f, 10, 30, 100, 1)), 449); // 0.02f is below 0.02 too
    EXPECT_EQ(circleCount(circles(0, 10, 30, 100, 1)), 0);
    EXPECT_EQ(circleCount(circles(-0.01f, 10, 30, 100, 1)), 0);
    EXPECT_EQ(circleCount(circles(std::numeric_limits<float>::quiet_NaN(), 10, 30, 100, 1)), 0);
}

TEST(Circles, HeightsDecayFromTheFullHeight)
{
    const Terrain t = circles(0.01f, 10, 30, 120, 2);
    EXPECT_EQ(circleHeightAt(t, 0, 224), 120.0f);
    float previous = 121;
    for (int k = 0; k < 224; ++k) {
        const float h = circleHeightAt(t, k, 224);
        EXPECT_LT(h, previous);
        previous = h;
    }
    // Halfway the angle is pi/4: 120 * cos^2 = 60.
    EXPECT_NEAR(circleHeightAt(t, 112, 224), 60.0f, 1e-4);
    // A zero factor keeps every circle at full height.
    const Terrain flat = circles(0.01f, 10, 30, 120, 0);
    EXPECT_EQ(circleHeightAt(flat, 200, 224), 120.0f);
}

TEST(Circles, DrawsColumnRowThenSize)
{
    const Terrain t = circles(0.01f, 10, 30, 100, 1);
    std::srand(99);
    const int r1 = std::rand(), r2 = std::rand(), r3 = std::rand(), r4 = std::rand();
    std::srand(99);
    const Circle c = drawCircle(t, 0, 224);
    EXPECT_EQ(std::rand(), r4); // exactly three draws
    EXPECT_EQ(c.a, static_cast<float>(r1 / 2147483648.0 * 151.0));
    EXPECT_EQ(c.b, static_cast<float>(r2 / 2147483648.0 * 151.0));
    EXPECT_EQ(c.size, static_cast<float>(10 + 20 * (r3 / 2147483648.0)));
    EXPECT_EQ(c.height, 100.0f);
    EXPECT_GE(c.size, 10.0f);
    EXPECT_LT(c.size, 30.0f);
}

// The raised-cosine bump.

TEST(Raise, WorkedExample)
{
    Grid g{};
    raiseCircle(g.data(), {75.5f, 75.5f, 100, 20});
    EXPECT_EQ(at(g, 75, 75), 98);
    EXPECT_EQ(at(g, 76, 75), 98);
    EXPECT_EQ(at(g, 80, 75), 57);
    EXPECT_EQ(at(g, 84, 75), 5);
    EXPECT_EQ(at(g, 85, 75), 0);
    EXPECT_EQ(at(g, 86, 75), 0);
    // Symmetric about the centre.
    EXPECT_EQ(at(g, 71, 75), 57);
    EXPECT_EQ(at(g, 75, 80), 57);
    EXPECT_EQ(at(g, 75, 71), 57);
}

TEST(Raise, AddsToWhatIsThere)
{
    Grid g = filled(20);
    raiseCircle(g.data(), {75.5f, 75.5f, 100, 20});
    EXPECT_EQ(at(g, 75, 75), 118);
    EXPECT_EQ(at(g, 80, 75), 77);
    EXPECT_EQ(at(g, 86, 75), 20);
    EXPECT_EQ(at(g, 10, 10), 20);
}

TEST(Raise, SaturatesAt255)
{
    Grid g = filled(200);
    raiseCircle(g.data(), {75.5f, 75.5f, 100, 20});
    EXPECT_EQ(at(g, 75, 75), 255);
    EXPECT_EQ(at(g, 80, 75), 255); // 200 + 57
    EXPECT_EQ(at(g, 84, 75), 205);
}

TEST(Raise, NegativeHeightDigsButStopsAtZero)
{
    Grid g = filled(50);
    raiseCircle(g.data(), {75.5f, 75.5f, -100, 20});
    EXPECT_EQ(at(g, 75, 75), 0);  // 50 - 98
    EXPECT_EQ(at(g, 80, 75), 0);  // 50 - 57
    EXPECT_EQ(at(g, 84, 75), 45); // 50 - 5
    EXPECT_EQ(at(g, 86, 75), 50);
}

TEST(Raise, CirclesPastTheEdgeRaiseOnlyTheGrid)
{
    Grid g{};
    raiseCircle(g.data(), {150.9f, 0.2f, 100, 20});
    EXPECT_GT(at(g, 150, 0), 90);
    EXPECT_EQ(at(g, 140, 0), 0);
    Grid h{};
    raiseCircleReference(h.data(), {150.9f, 0.2f, 100, 20});
    EXPECT_EQ(g, h);
}

TEST(Raise, FastFormVisitsExactlyThePointsOfThePlainForm)
{
    std::srand(2718);
    std::vector<Circle> cs;
    for (int k = 0; k < 400; ++k) {
        const float a = static_cast<float>(std::rand() / 2147483648.0 * 151.0);
        const float b = static_cast<float>(std::rand() / 2147483648.0 * 151.0);
        const float size = static_cast<float>(std::rand() / 2147483648.0 * 80.0);
        const float height = static_cast<float>(std::rand() / 2147483648.0 * 600.0 - 200.0);
        cs.push_back({a, b, height, size});
    }
    // Odd ones: grid points on the rim, no size, negative and huge sizes.
    cs.push_back({75, 75, 100, 20});
    cs.push_back({0, 0, 255, 2});
    cs.push_back({150, 150, 255, 300});
    cs.push_back({75.5f, 75.5f, 100, 0});
    cs.push_back({75, 75, 100, 0});
    cs.push_back({40.25f, 90.75f, 100, -30});
    cs.push_back({10, 10, 100, 1e20f});
    cs.push_back({10, 10, 100, std::numeric_limits<float>::infinity()});
    cs.push_back({10, 10, 100, std::numeric_limits<float>::quiet_NaN()});
    // Heights so large that even points a hair inside the rim are raised:
    // the fast form must not lose a single one of them.
    std::srand(31);
    for (int k = 0; k < 200; ++k) {
        const float a = static_cast<float>(std::rand() / 2147483648.0 * 151.0);
        const float b = static_cast<float>(std::rand() / 2147483648.0 * 151.0);
        const float size = static_cast<float>(std::rand() / 2147483648.0 * 60.0);
        cs.push_back({a, b, k % 2 ? 1e9f : -1e9f, size});
    }
    cs.push_back({10, 10, std::numeric_limits<float>::infinity(), 30});
    cs.push_back({10, 10, std::numeric_limits<float>::quiet_NaN(), 30});
    for (size_t k = 0; k < cs.size(); ++k) {
        Grid fast = filled(static_cast<unsigned char>(k * 37));
        Grid plain = fast;
        raiseCircle(fast.data(), cs[k]);
        raiseCircleReference(plain.data(), cs[k]);
        EXPECT_EQ(fast, plain) << "circle " << k << " at " << cs[k].a << "," << cs[k].b << " size "
                               << cs[k].size << " height " << cs[k].height;
    }
}

// Whole grids.

TEST(Generate, NoCirclesGiveAFlatFloorAndAnEmptyBar)
{
    for (int invert : {0, 1}) {
        const Grid g = generated(circles(0, 10, 30, 100, 1, invert), 5);
        EXPECT_EQ(g, filled(0)) << "invert " << invert;
    }
    EXPECT_EQ(progress(circles(0, 10, 30, 100, 1)), "Generating terrain\n\n");
}

TEST(Generate, NinetyCirclesPrintSeventyNineDots)
{
    EXPECT_EQ(progress(circles(0.004f, 10, 30, 100, 1)),
              "Generating terrain\n" + std::string(79, '.') + "\n");
}

TEST(Generate, DotCountIsEightyTimesTheLastFraction)
{
    // 10 circles: trunc(80 * 9 / 10) = 72; 224 circles: trunc(80 * 223 / 224) = 79.
    EXPECT_EQ(progress(circles(10.0f / 22500 + 1e-9f, 10, 30, 100, 1)),
              "Generating terrain\n" + std::string(72, '.') + "\n");
    EXPECT_EQ(progress(circles(0.01f, 10, 30, 100, 1)),
              "Generating terrain\n" + std::string(79, '.') + "\n");
}

TEST(Generate, OneCircleHasFullHeightAndNoDots)
{
    const Terrain t = circles(1.0f / 22500 + 1e-9f, 20, 20, 100, 3);
    ASSERT_EQ(circleCount(t), 1);
    EXPECT_EQ(progress(t), "Generating terrain\n\n");
    std::srand(7);
    const Circle c = drawCircle(t, 0, 1);
    Grid expected{};
    raiseCircleReference(expected.data(), c);
    // The bump reaches no further than 10 cells: the floor stays at 0.
    EXPECT_EQ(generated(t, 7), expected);
    EXPECT_GE(*std::max_element(expected.begin(), expected.end()), 90);
}

TEST(Generate, LowestPointIsZeroAndHighSumsSaturate)
{
    const Grid g = generated(circles(0.004f, 10, 30, 255, 0), 11);
    EXPECT_EQ(*std::min_element(g.begin(), g.end()), 0);
    // Full-height overlapping circles make flat plateaus at the top.
    EXPECT_GT(std::count(g.begin(), g.end(), 255), 1000);
}

TEST(Generate, InvertTurnsTheGridUpsideDownThenLowersIt)
{
    const Grid plain = generated(circles(0.004f, 10, 30, 255, 0, 0), 11);
    const Grid inverted = generated(circles(0.004f, 10, 30, 255, 0, 1), 11);
    ASSERT_EQ(*std::min_element(plain.begin(), plain.end()), 0);
    const int top = *std::max_element(plain.begin(), plain.end());
    for (int k = 0; k < kGridPoints; ++k)
        ASSERT_EQ(inverted[k], top - plain[k]) << "point " << k;
    // The plateaus became floors.
    EXPECT_EQ(std::count(inverted.begin(), inverted.end(), 0),
              std::count(plain.begin(), plain.end(), 255));
}

TEST(Generate, InvertWithoutAFullPlateauIsLoweredToZero)
{
    // Low circles never reach 255, so 255 - h alone would float above the floor.
    const Grid g = generated(circles(0.004f, 10, 30, 60, 1, 1), 3);
    EXPECT_EQ(*std::min_element(g.begin(), g.end()), 0);
    EXPECT_LT(*std::max_element(g.begin(), g.end()), 255);
}

TEST(Generate, MatchesTheReferenceBitForBit)
{
    const Terrain ts[] = {
        circles(0.01f, 10, 30, 120, 1, 1), circles(0.004f, 20, 60, 80, 2),
        circles(0.002f, 30, 90, 255, 4),   circles(0.02f, 6, 14, 60, 1),
        circles(0.01f, 0, 2, 200, 1),      circles(0.005f, 10, 300, 150, 0.5f),
        circles(0.01f, 10, 30, -120, 1),   circles(0.003f, -40, 40, 180, 2, 1),
    };
    for (const Terrain &t : ts)
        for (unsigned s : {1u, 42u, 987654u})
            EXPECT_EQ(generated(t, s), generated(t, s, true))
                << "circles " << t.circlesPerCell << " sizes " << t.circleSizeMin << ".."
                << t.circleSizeMax << " seed " << s;
}

TEST(Generate, MatchesTheReferenceOnTheShippedTerrains)
{
    if (!loadTerrains(QUORBLY_DATA_DIR "/terrains"))
        GTEST_SKIP() << "no shipped terrains";
    for (const Terrain &t : terrains)
        for (unsigned s : {3u, 1234u})
            EXPECT_EQ(generated(t, s), generated(t, s, true)) << t.name.data();
    destroyTerrains();
}

// Mean height.

TEST(AverageHeight, FlatAndLevelGrids)
{
    EXPECT_EQ(getAverageHeight(filled(0).data()), 0.0f);
    EXPECT_EQ(getAverageHeight(filled(100).data()), 1.0f);
    EXPECT_FLOAT_EQ(getAverageHeight(filled(255).data()), 2.55f);
}

TEST(AverageHeight, MeanOfMixedBytes)
{
    Grid g{};
    at(g, 0, 0) = 228;
    at(g, 150, 150) = 200;
    EXPECT_FLOAT_EQ(getAverageHeight(g.data()), static_cast<float>(428 * 0.01 / 22801));
    const Grid s = slopeAlongX(1); // column i holds i: mean 75
    EXPECT_FLOAT_EQ(getAverageHeight(s.data()), 0.75f);
}

// Height queries.

TEST(Heights, GridPointsAreBytesTimesOneHundredth)
{
    Grid g{};
    at(g, 0, 0) = 37;
    at(g, 150, 0) = 255;
    at(g, 3, 140) = 1;
    EXPECT_EQ(getHeight(g.data(), 0, 0), 0.37f);
    EXPECT_EQ(getHeight(g.data(), 150, 0), 2.55f);
    EXPECT_EQ(getHeight(g.data(), 3, 140), 0.01f);
    EXPECT_EQ(getHeight(g.data(), 140, 3), 0.0f); // row and column not swapped
}

TEST(Heights, InRangeIncludesTheEdges)
{
    const Grid g{};
    EXPECT_EQ(inRange(g.data(), 0, 0), 1);
    EXPECT_EQ(inRange(g.data(), 15, 15), 1);
    EXPECT_EQ(inRange(g.data(), 0, 15), 1);
    EXPECT_EQ(inRange(g.data(), 15, 0), 1);
    EXPECT_EQ(inRange(g.data(), 7.5f, 7.5f), 1);
    EXPECT_EQ(inRange(g.data(), 15.001f, 3), 0);
    EXPECT_EQ(inRange(g.data(), -0.001f, 3), 0);
    EXPECT_EQ(inRange(g.data(), 3, 15.001f), 0);
    EXPECT_EQ(inRange(g.data(), 3, -0.001f), 0);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(inRange(g.data(), nan, 3), 0);
    EXPECT_EQ(inRange(g.data(), 3, nan), 0);
}

TEST(Heights, RealHeightAtGridPoints)
{
    Grid g{};
    for (int k = 0; k < kGridPoints; ++k)
        g[k] = static_cast<unsigned char>((k * 7919) % 256);
    EXPECT_EQ(getRealHeight(g.data(), 0, 0), g[0] * 0.01f);
    EXPECT_FLOAT_EQ(getRealHeight(g.data(), 15, 15), getHeight(g.data(), 150, 150));
    EXPECT_FLOAT_EQ(getRealHeight(g.data(), 15, 0), getHeight(g.data(), 150, 0));
    EXPECT_FLOAT_EQ(getRealHeight(g.data(), 0, 15), getHeight(g.data(), 0, 150));
    for (int i = 0; i <= 150; i += 10)
        for (int j = 0; j <= 150; j += 15)
            EXPECT_NEAR(getRealHeight(g.data(), i * 0.1f, j * 0.1f), getHeight(g.data(), i, j),
                        1e-4)
                << i << "," << j;
}

TEST(Heights, RealHeightOffTheFieldIsMinusOne)
{
    const Grid g = filled(100);
    EXPECT_EQ(getRealHeight(g.data(), 15.001f, 7), -1.0f);
    EXPECT_EQ(getRealHeight(g.data(), -0.001f, 7), -1.0f);
    EXPECT_EQ(getRealHeight(g.data(), 7, 15.001f), -1.0f);
    EXPECT_EQ(getRealHeight(g.data(), 7, -0.001f), -1.0f);
    EXPECT_EQ(getRealHeight(g.data(), std::numeric_limits<float>::quiet_NaN(), 7), -1.0f);
}

TEST(Heights, RealHeightInterpolatesInsideACell)
{
    Grid g{};
    at(g, 40, 60) = 100;
    at(g, 41, 60) = 200;
    at(g, 40, 61) = 50;
    at(g, 41, 61) = 10;
    EXPECT_NEAR(getRealHeight(g.data(), 4.05f, 6.0f), 1.5f, 1e-5);
    EXPECT_NEAR(getRealHeight(g.data(), 4.05f, 6.05f), (1.0f + 2.0f + 0.5f + 0.1f) / 4, 1e-5);
    // A quarter along z on column 40: 1.0 -> 0.5.
    EXPECT_NEAR(getRealHeight(g.data(), 4.0f, 6.025f), 0.875f, 1e-5);
}

TEST(Heights, PlayerOffTheFieldWhateverItsHeight)
{
    const Grid g = filled(0);
    Player p{};
    p.x = 16;
    p.z = 7;
    for (float y : {-30.0f, 0.0f, 1.0f, 100.0f}) {
        p.y = y;
        EXPECT_EQ(playerInRange(g.data(), p), 0);
    }
    p.x = 15;
    p.z = 15;
    p.y = -50;
    EXPECT_EQ(playerInRange(g.data(), p), 1);
    p.x = 7;
    p.z = -0.5f;
    EXPECT_EQ(playerInRange(g.data(), p), 0);
}

// Smoothed normals.

TEST(Normals, FlatGridPointsStraightUp)
{
    const Grid g = filled(40);
    for (int i : {0, 1, 75, 149, 150})
        for (int j : {0, 1, 75, 149, 150}) {
            const vector n = heightMapNormal(g.data(), i, j);
            EXPECT_EQ(n.x, 0.0f);
            EXPECT_FLOAT_EQ(n.y, 1.0f);
            EXPECT_EQ(n.z, 0.0f);
        }
}

TEST(Normals, SlopeOfTenBytesPerColumn)
{
    const Grid g = slopeAlongX(10); // rises to 250 at column 25, then flat
    for (int i = 1; i < 25; ++i)
        for (int j : {1, 60, 149}) {
            const vector n = heightMapNormal(g.data(), i, j);
            EXPECT_FLOAT_EQ(n.x, -0.70710677f) << i << "," << j;
            EXPECT_FLOAT_EQ(n.y, 0.70710677f) << i << "," << j;
            EXPECT_EQ(n.z, 0.0f) << i << "," << j;
        }
    // Edges of the slope lean the same way: only the pairs present count.
    for (int j : {0, 150}) {
        const vector n = heightMapNormal(g.data(), 10, j);
        EXPECT_FLOAT_EQ(n.x, -0.70710677f);
        EXPECT_FLOAT_EQ(n.y, 0.70710677f);
        EXPECT_EQ(n.z, 0.0f);
    }
}

TEST(Normals, InteriorPointAveragesFourQuadrants)
{
    Grid g{};
    at(g, 76, 75) = 10; // the +x neighbour one step (0.1) up
    const vector n = heightMapNormal(g.data(), 75, 75);
    // Two quadrants tilt 45 degrees away, two stay level: 22.5 degrees.
    EXPECT_NEAR(n.x, -0.38268343f, 1e-5);
    EXPECT_NEAR(n.y, 0.92387953f, 1e-5);
    EXPECT_NEAR(n.z, 0.0f, 1e-5);
}

TEST(Normals, EdgePointUsesTwoQuadrants)
{
    Grid g{};
    at(g, 0, 76) = 10; // the +z neighbour of (0, 75)
    const vector n = heightMapNormal(g.data(), 0, 75);
    // (v1, v2) tilts 45 degrees towards -z, (v2, v3) is level.
    EXPECT_NEAR(n.x, 0.0f, 1e-5);
    EXPECT_NEAR(n.y, 0.92387953f, 1e-5);
    EXPECT_NEAR(n.z, -0.38268343f, 1e-5);
    // The -x side does not exist there; a raised +x neighbour tilts both.
    Grid h{};
    at(h, 1, 75) = 10;
    const vector m = heightMapNormal(h.data(), 0, 75);
    EXPECT_NEAR(m.x, -0.70710677f, 1e-5);
    EXPECT_NEAR(m.y, 0.70710677f, 1e-5);
}

TEST(Normals, CornersUseOneQuadrant)
{
    Grid g{};
    at(g, 1, 0) = 10;
    const vector a = heightMapNormal(g.data(), 0, 0);
    EXPECT_NEAR(a.x, -0.70710677f, 1e-5);
    EXPECT_NEAR(a.y, 0.70710677f, 1e-5);
    EXPECT_NEAR(a.z, 0.0f, 1e-5);
    // The diagonal neighbour is in no quadrant of (0, 0).
    Grid d{};
    at(d, 1, 1) = 200;
    const vector b = heightMapNormal(d.data(), 0, 0);
    EXPECT_EQ(b.x, 0.0f);
    EXPECT_FLOAT_EQ(b.y, 1.0f);
    EXPECT_EQ(b.z, 0.0f);
    // At (150, 150) only (v3, v4): raised -x neighbour leans it towards +x,
    // raised -z neighbour towards +z.
    Grid e{};
    at(e, 149, 150) = 10;
    const vector c = heightMapNormal(e.data(), 150, 150);
    EXPECT_NEAR(c.x, 0.70710677f, 1e-5);
    EXPECT_NEAR(c.y, 0.70710677f, 1e-5);
    Grid f{};
    at(f, 150, 149) = 10;
    const vector c2 = heightMapNormal(f.data(), 150, 150);
    EXPECT_NEAR(c2.z, 0.70710677f, 1e-5);
    EXPECT_NEAR(c2.y, 0.70710677f, 1e-5);
}

TEST(Normals, AlwaysUnitAndUpward)
{
    std::srand(12);
    Grid g;
    for (auto &v : g)
        v = static_cast<unsigned char>(std::rand() % 256);
    for (int i = 0; i <= 150; i += 5)
        for (int j = 0; j <= 150; j += 3) {
            const vector n = heightMapNormal(g.data(), i, j);
            EXPECT_GT(n.y, 0.0f);
            EXPECT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0f, 1e-5);
        }
}

// The mesh walk that the display list is compiled from.

namespace
{

struct Quad {
    std::array<vector, 4> p;
    std::array<vector, 4> n;
    std::array<std::array<double, 2>, 4> tex;
    int texCount = 0;
    int normalCount = 0;
};

struct RecordingSink {
    std::vector<std::vector<Quad>> batches;
    bool open = false;
    int vertsInQuad = 0;
    vector currentNormal{};
    std::array<double, 2> tex{};
    int texSeen = 0;
    int normalSeen = 0;
    int misuse = 0;

    void begin()
    {
        misuse += open;
        open = true;
        batches.emplace_back();
        vertsInQuad = 0;
    }
    void end()
    {
        misuse += !open || vertsInQuad != 0;
        open = false;
    }
    void texCoord(double s, double t)
    {
        tex = {s, t};
        ++texSeen;
    }
    void normal(vector n)
    {
        currentNormal = n;
        ++normalSeen;
    }
    void vertex(vector p)
    {
        misuse += !open;
        if (vertsInQuad == 0)
            batches.back().emplace_back();
        Quad &q = batches.back().back();
        q.p[vertsInQuad] = p;
        q.n[vertsInQuad] = currentNormal;
        q.tex[vertsInQuad] = tex;
        q.texCount += texSeen;
        q.normalCount += normalSeen;
        texSeen = normalSeen = 0;
        vertsInQuad = (vertsInQuad + 1) % 4;
    }
};

RecordingSink walkAll(const Grid &g)
{
    RecordingSink sink;
    walkSurface(g.data(), sink);
    walkBottom(sink);
    walkWalls(g.data(), sink);
    return sink;
}

// Normal of the quad's plane by its winding (right-handed).
vector windingNormal(const Quad &q)
{
    const vector e1 = subVectors(q.p[1], q.p[0]);
    const vector e2 = subVectors(q.p[2], q.p[0]);
    return crossProduct(e1, e2);
}

Grid bumpy()
{
    Grid g;
    std::srand(77);
    for (auto &v : g)
        v = static_cast<unsigned char>(std::rand() % 256);
    return g;
}

} // namespace

TEST(Mesh, QuadCountsPerBatch)
{
    const RecordingSink s = walkAll(bumpy());
    EXPECT_EQ(s.misuse, 0);
    ASSERT_EQ(s.batches.size(), 6u);
    EXPECT_EQ(s.batches[0].size(), 22500u);
    EXPECT_EQ(s.batches[1].size(), 1u);
    size_t walls = 0;
    for (int b = 2; b < 6; ++b) {
        EXPECT_EQ(s.batches[b].size(), 150u);
        walls += s.batches[b].size();
    }
    EXPECT_EQ(walls, 600u);
}

TEST(Mesh, SurfaceFacesUpWithEachVertexNormalPositionAndTexture)
{
    const Grid g = bumpy();
    const RecordingSink s = walkAll(g);
    const std::vector<Quad> &surface = s.batches[0];
    // Quad (i, j) visits (i, j), (i, j+1), (i+1, j+1), (i+1, j).
    const int di[] = {0, 0, 1, 1};
    const int dj[] = {0, 1, 1, 0};
    for (int i = 0; i < 150; ++i)
        for (int j = 0; j < 150; ++j) {
            const Quad &q = surface[i * 150 + j];
            ASSERT_GT(windingNormal(q).y, 0.0f); // counter-clockwise from above
            for (int v = 0; v < 4; ++v) {
                const int gi = i + di[v], gj = j + dj[v];
                const vector n = heightMapNormal(g.data(), gi, gj);
                const vector p = gridPoint(g.data(), gi, gj);
                ASSERT_EQ(q.texCount, 4);
                ASSERT_EQ(q.normalCount, 4);
                ASSERT_TRUE(q.n[v].x == n.x && q.n[v].y == n.y && q.n[v].z == n.z)
                    << "normal at " << gi << "," << gj;
                ASSERT_TRUE(q.p[v].x == p.x && q.p[v].y == p.y && q.p[v].z == p.z)
                    << "position at " << gi << "," << gj;
                ASSERT_EQ(q.tex[v][0], gi / 150.0);
                ASSERT_EQ(q.tex[v][1], gj / 150.0);
            }
        }
}

TEST(Mesh, GridPointsAreTenthsOfAUnit)
{
    Grid g{};
    at(g, 150, 75) = 120;
    const vector p = gridPoint(g.data(), 150, 75);
    EXPECT_EQ(p.x, 15.0f);
    EXPECT_EQ(p.y, 1.2f);
    EXPECT_EQ(p.z, 7.5f);
    EXPECT_EQ(gridPoint(g.data(), 3, 0).x, static_cast<float>(3 * 0.1));
}

TEST(Mesh, TextureCoversTheFieldOnce)
{
    const RecordingSink s = walkAll(filled(0));
    int corners = 0;
    for (const Quad &q : s.batches[0])
        for (int v = 0; v < 4; ++v) {
            const float x = q.p[v].x, z = q.p[v].z;
            if ((x == 0 || x == 15) && (z == 0 || z == 15)) {
                EXPECT_EQ(q.tex[v][0], x / 15);
                EXPECT_EQ(q.tex[v][1], z / 15);
                ++corners;
            }
        }
    EXPECT_EQ(corners, 4);
}

TEST(Mesh, BottomAndWallsFaceOutwardAndMeetTheSurfaceEdges)
{
    const Grid g = bumpy();
    const RecordingSink s = walkAll(g);
    const vector outward[] = {{0, -1, 0}, {0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}};
    for (int b = 1; b < 6; ++b)
        for (const Quad &q : s.batches[b]) {
            const vector want = outward[b - 1];
            ASSERT_GT(dotProduct(windingNormal(q), want), 0.0f) << "batch " << b;
            ASSERT_TRUE(q.n[0].x == want.x && q.n[0].y == want.y && q.n[0].z == want.z);
            ASSERT_EQ(q.normalCount, 1); // one normal before each quad
            ASSERT_EQ(q.texCount, 0);
            int tops = 0;
            for (const vector &p : q.p) {
                // Every corner lies in the face's plane.
                ASSERT_EQ(dotProduct(p, want), b == 1 ? 1.0f : b % 2 ? 15.0f : 0.0f);
                if (p.y == -1.0f) // ground heights are never negative
                    continue;
                // A top corner is the surface's outermost grid point there.
                const int gi = static_cast<int>(std::lround(p.x * 10));
                const int gj = static_cast<int>(std::lround(p.z * 10));
                const vector e = gridPoint(g.data(), gi, gj);
                ASSERT_TRUE(p.x == e.x && p.y == e.y && p.z == e.z) << "batch " << b;
                ++tops;
            }
            ASSERT_EQ(tops, b == 1 ? 0 : 2);
        }
}
