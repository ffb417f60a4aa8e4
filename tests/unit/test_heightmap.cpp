// SPDX-License-Identifier: GPL-3.0-or-later
// The heightmap: circles, the grid, height queries, normals and the mesh walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "core/random.h"
#include "sim/player.h"
#include "terrain/heightmap.h"
#include "terrain/terrain.h"

namespace
{

using Grid = std::array<unsigned char, kGridPoints>;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kR2 = 0.70710677f;

Terrain circles(float perCell, float height, float factor = 1, int invert = 0)
{
    return {{}, perCell, 10, 30, height, factor, invert, 0, 0, {}, {}, 0, 0};
}

unsigned char &at(Grid &g, int i, int j)
{
    return g[j * kGridSize + i];
}

// The grid a terrain generates from a seed; the progress it printed in `said`.
Grid generated(const Terrain &t, unsigned seed, std::string *said = nullptr)
{
    Grid g;
    g.fill(77); // generation must start from a clean grid
    seedGameRand(seed);
    ::testing::internal::CaptureStdout();
    generateHeightMap(g.data(), t);
    const std::string printed = ::testing::internal::GetCapturedStdout();
    if (said)
        *said = printed;
    return g;
}

} // namespace

TEST(Circles, CountHeightsAndDraws)
{
    // trunc(density x 22500), none for a negative or NaN density, never more
    // than one per cell (1e9 once asked for hours of circles).
    const std::pair<float, int> counts[] = {{0.01f, 224},    {0.004f, 90},  {-0.01f, 0},  {kNaN, 0},
                                            {0.999f, 22477}, {1e9f, 22500}, {kInf, 22500}};
    for (auto [density, n] : counts)
        EXPECT_EQ(circleCount(circles(density, 1)), n) << density;
    EXPECT_EQ(circleHeightAt(circles(0.01f, 120, 2), 0, 224), 120.0f);
    EXPECT_NEAR(circleHeightAt(circles(0.01f, 120, 2), 112, 224), 60.0f, 1e-4); // cos^2(pi/4)
    EXPECT_EQ(circleHeightAt(circles(0.01f, 120, 0), 200, 224), 120.0f);

    // Three draws: column, row, then size.
    seedGameRand(99);
    const double r1 = gameRand(), r2 = gameRand(), r3 = gameRand(), r4 = gameRand();
    seedGameRand(99);
    const Circle c = drawCircle(circles(0.01f, 100), 0, 224);
    EXPECT_EQ(gameRand(), r4);
    EXPECT_EQ(c.a, static_cast<float>(r1 / 2147483648.0 * 151.0));
    EXPECT_EQ(c.b, static_cast<float>(r2 / 2147483648.0 * 151.0));
    EXPECT_EQ(c.size, static_cast<float>(10 + 20 * (r3 / 2147483648.0)));
}

TEST(Raise, WorkedExampleAddsAndClampsTo0To255AndTheFastFormEqualsThePlain)
{
    // Base, height, then columns 75, 80, 84, 85 of row 75 under a circle at
    // (75.5, 75.5): the worked example, adding, saturating at 255, digging.
    const std::array<int, 6> raises[] = {{0, 100, 98, 57, 5, 0},
                                         {20, 100, 118, 77, 25, 20},
                                         {200, 100, 255, 255, 205, 200},
                                         {50, -100, 0, 0, 45, 50}};
    for (auto [base, height, c75, c80, c84, c85] : raises) {
        Grid g;
        g.fill(static_cast<unsigned char>(base));
        raiseCircle(g.data(), {75.5f, 75.5f, static_cast<float>(height), 20});
        EXPECT_EQ((std::array<int, 6>{at(g, 75, 75), at(g, 80, 75), at(g, 84, 75), at(g, 85, 75),
                                      at(g, 71, 75), at(g, 75, 71)}),
                  (std::array{c75, c80, c84, c85, c80, c80}));
    }
    // Random circles; heights so large that points a hair inside the rim
    // rise; rims on grid points, past the edge; wild sizes and heights.
    seedGameRand(2718);
    auto unit = [] { return static_cast<float>(gameRand() / 2147483648.0); };
    std::vector<Circle> cs = {{75, 75, 100, 20},          {150.9f, 0.2f, 100, 20},
                              {150, 150, 255, 300},       {75.5f, 75.5f, 100, 0},
                              {40.25f, 90.75f, 100, -30}, {10, 10, 100, 1e20f},
                              {10, 10, 100, kInf},        {10, 10, 100, kNaN},
                              {10, 10, kInf, 30},         {10, 10, kNaN, 30}};
    for (int k = 0; k < 600; ++k)
        cs.push_back({unit() * 151, unit() * 151,
                      k < 400 ? unit() * 600 - 200 : (k % 2 ? 1e9f : -1e9f), unit() * 80});
    for (std::size_t k = 0; k < cs.size(); ++k) {
        Grid fast;
        fast.fill(static_cast<unsigned char>(k * 37));
        Grid plain = fast;
        raiseCircle(fast.data(), cs[k]);
        raiseCircleReference(plain.data(), cs[k]);
        ASSERT_EQ(fast, plain) << "circle " << k;
    }
}

TEST(Generate, ProgressFlatSaturatedInvertedAndLoweredToZero)
{
    // trunc(80 (n - 1) / n) dots: none for one circle, 72 for 10, 79 for 90
    // and for the most there can be.
    const std::pair<float, int> progress[] = {
        {1.0f / 22500 + 1e-9f, 0}, {10.0f / 22500 + 1e-9f, 72}, {0.004f, 79}, {1e9f, 79}};
    for (auto [density, dots] : progress) {
        Terrain small = circles(density, 50);
        small.circleSizeMax = 2;
        std::string said;
        generated(small, 1, &said);
        EXPECT_EQ(said, "Generating terrain\n" + std::string(dots, '.') + "\n") << density;
    }
    for (int invert : {0, 1})
        EXPECT_EQ(generated(circles(0, 100, 1, invert), 5), Grid{}) << invert;
    // Full-height circles make plateaus at 255; inverted, the grid is turned
    // upside down and lowered to 0, even where no circle reached 255.
    const Grid plain = generated(circles(0.004f, 255, 0), 11);
    const Grid inverted = generated(circles(0.004f, 255, 0, 1), 11);
    const Grid low = generated(circles(0.004f, 60, 1, 1), 3);
    EXPECT_GT(std::count(plain.begin(), plain.end(), 255), 1000);
    EXPECT_EQ(plain[0], 0);     // the corner, which no circle reached, lies low
    EXPECT_EQ(plain[120], 255); // (120, 0) on a plateau
    for (int k = 0; k < kGridPoints; ++k)
        ASSERT_EQ(inverted[k], 255 - plain[k]) << "point " << k;
    EXPECT_EQ(*std::min_element(low.begin(), low.end()), 0);
    EXPECT_LT(*std::max_element(low.begin(), low.end()), 255);
}

TEST(Heights, AverageGridPointsBetweenThemAndInRange)
{
    Grid g{};
    at(g, 0, 0) = 228;
    at(g, 150, 150) = 200;
    EXPECT_FLOAT_EQ(getAverageHeight(g.data()), static_cast<float>(428 * 0.01 / 22801));
    at(g, 150, 0) = 255;
    at(g, 3, 140) = 1;
    EXPECT_EQ(getHeight(g.data(), 3, 140), 0.01f);
    EXPECT_EQ(getHeight(g.data(), 140, 3), 0.0f); // row and column not swapped
    at(g, 40, 60) = 100;
    at(g, 41, 60) = 200;
    at(g, 40, 61) = 50;
    at(g, 41, 61) = 10;
    // Grid points, the middle of an edge, of a cell, a quarter way; off the field -1.
    const std::array<float, 3> heights[] = {
        {15, 15, 2},         {15, 0, 2.55f},       {4.05f, 6.0f, 1.5f}, {4.05f, 6.05f, 0.9f},
        {4, 6.025f, 0.875f}, {4.1f, 6.05f, 1.05f}, {15.001f, 3, -1},    {-0.001f, 3, -1},
        {3, 15.001f, -1},    {3, -0.001f, -1},     {kNaN, 3, -1},       {3, kNaN, -1},
        {0, 15, 0},          {7.5f, 7.5f, 0}};
    for (auto [x, z, h] : heights) {
        EXPECT_NEAR(getRealHeight(g.data(), x, z), h, 1e-5) << x << "," << z;
        Player p{};
        p.x = x;
        p.z = z;
        p.y = -50; // on the field by x and z alone
        EXPECT_EQ(inRange(g.data(), x, z), h >= 0) << x << "," << z;
        EXPECT_EQ(playerInRange(g.data(), p), h >= 0) << x << "," << z;
    }
}

TEST(Normals, TheQuadrantsThatExistAveraged)
{
    // One neighbour raised by 10 bytes (0.1, one step up): four quadrants at
    // an interior point give 22.5 degrees, two at an edge, one at a corner.
    const float c = 0.38268343f, s = 0.92387953f;
    const std::pair<std::array<int, 5>, vector> cases[] = {
        {{0, 0, 0, 75, 0}, {0, 1, 0}},
        {{76, 75, 10, 75, 75}, {-c, s, 0}},
        {{0, 76, 10, 0, 75}, {0, s, -c}},
        {{1, 75, 10, 0, 75}, {-kR2, kR2, 0}},
        {{1, 0, 10, 0, 0}, {-kR2, kR2, 0}},
        {{1, 1, 200, 0, 0}, {0, 1, 0}}, // diagonal: none
        {{149, 150, 10, 150, 150}, {kR2, kR2, 0}},
        {{150, 149, 10, 150, 150}, {0, kR2, kR2}},
        {{75, 2, 10, 75, 1}, {0, s, -c}},
        {{75, 149, 10, 75, 150}, {0, kR2, kR2}}};
    for (const auto &[k, n] : cases) {
        Grid g{};
        at(g, k[0], k[1]) = static_cast<unsigned char>(k[2]);
        const vector got = heightMapNormal(g.data(), k[3], k[4]);
        EXPECT_LT(std::hypot(got.x - n.x, got.y - n.y, got.z - n.z), 1e-5)
            << k[0] << "," << k[1] << " raised, at " << k[3] << "," << k[4];
    }
}

// The mesh walk the display list is compiled from: every corner with the
// normal and texture coordinate current at it, and where each batch starts.
struct MeshSink {
    struct Corner {
        vector p, n;
        double s, t;
    };
    std::vector<Corner> corners;
    std::vector<std::size_t> starts;
    vector n{};
    double s = -1, t = -1;
    void begin() { starts.push_back(corners.size()); }
    void end() {}
    void texCoord(double s0, double t0) { s = s0, t = t0; }
    void normal(vector v) { n = v; }
    void vertex(vector p) { corners.push_back({p, n, s, t}); }
};

TEST(Mesh, QuadsVisitEveryGridPointAndFaceOutward)
{
    Grid g;
    seedGameRand(77);
    for (auto &v : g)
        v = static_cast<unsigned char>(gameRand() % 256);
    at(g, 150, 75) = 120;
    const vector p = gridPoint(g.data(), 150, 75);
    EXPECT_TRUE(p.x == 15.0f && p.y == 1.2f && p.z == 7.5f);
    MeshSink sink;
    walkSurface(g.data(), sink);
    walkBottom(sink);
    walkWalls(g.data(), sink);
    // 22500 surface quads, one bottom quad and 4 x 150 wall quads. Quad
    // (i, j) visits (i, j), (i, j+1), (i+1, j+1), (i+1, j), counter-clockwise
    // from above; bottom and walls face outward with that normal and reach
    // from y = -1 up to the surface's outermost grid points.
    EXPECT_EQ(sink.starts, (std::vector<std::size_t>{0, 90000, 90004, 90604, 91204, 91804}));
    ASSERT_EQ(sink.corners.size(), 92404u);
    const vector outward[] = {{0, 1, 0}, {0, -1, 0}, {0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}};
    const int di[] = {0, 0, 1, 1}, dj[] = {0, 1, 1, 0};
    auto same = [](vector a, vector b) { return a.x == b.x && a.y == b.y && a.z == b.z; };
    for (std::size_t k = 0; k < sink.corners.size(); k += 4) {
        const int b = static_cast<int>(std::upper_bound(sink.starts.begin(), sink.starts.end(), k) -
                                       sink.starts.begin()) -
                      1;
        const MeshSink::Corner *q = &sink.corners[k];
        const vector w = crossProduct(subVectors(q[1].p, q[0].p), subVectors(q[2].p, q[0].p));
        ASSERT_GT(dotProduct(w, outward[b]), 0.0f) << "batch " << b << " corner " << k;
        for (int v = 0; v < 4; ++v) {
            const int i = b ? static_cast<int>(std::lround(q[v].p.x * 10)) : k / 600 + di[v];
            const int j = b ? static_cast<int>(std::lround(q[v].p.z * 10)) : k / 4 % 150 + dj[v];
            ASSERT_TRUE(same(q[v].p, gridPoint(g.data(), i, j)) || (b && q[v].p.y == -1.0f))
                << "batch " << b << " at " << i << "," << j;
            ASSERT_TRUE(b ? same(q[v].n, outward[b])
                          : same(q[v].n, heightMapNormal(g.data(), i, j)) && q[v].s == i / 150.0 &&
                                q[v].t == j / 150.0)
                << "batch " << b << " at " << i << "," << j;
        }
    }
}
