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
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kR2 = 0.70710677f;

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

Grid randomGrid(unsigned seed)
{
    Grid g;
    std::srand(seed);
    for (auto &v : g)
        v = static_cast<unsigned char>(std::rand() % 256);
    return g;
}

Grid generated(const Terrain &t, unsigned seedValue, bool reference = false)
{
    std::FILE *out = std::fopen("/dev/null", "w");
    Grid g = filled(77); // generation must start from a clean grid
    std::srand(seedValue);
    (reference ? generateHeightMapReference : generateHeightMap)(g.data(), t, out);
    std::fclose(out);
    return g;
}

void expectVector(vector v, float x, float y, float z, float tolerance = 1e-5f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

} // namespace

TEST(Circles, CountHeightsAndDraws)
{
    EXPECT_EQ(circleCount(circles(0.01f, 10, 30, 100, 1)), 224);
    EXPECT_EQ(circleCount(circles(0.004f, 10, 30, 100, 1)), 90);
    EXPECT_EQ(circleCount(circles(-0.01f, 10, 30, 100, 1)), 0);
    EXPECT_EQ(circleCount(circles(kNaN, 10, 30, 100, 1)), 0);

    const Terrain t = circles(0.01f, 10, 30, 120, 2);
    EXPECT_EQ(circleHeightAt(t, 0, 224), 120.0f);
    EXPECT_NEAR(circleHeightAt(t, 112, 224), 60.0f, 1e-4); // 120 cos^2(pi/4)
    EXPECT_EQ(circleHeightAt(circles(0.01f, 10, 30, 120, 0), 200, 224), 120.0f);

    // Three draws: column, row, then size.
    std::srand(99);
    const int r1 = std::rand(), r2 = std::rand(), r3 = std::rand(), r4 = std::rand();
    std::srand(99);
    const Circle c = drawCircle(circles(0.01f, 10, 30, 100, 1), 0, 224);
    EXPECT_EQ(std::rand(), r4);
    EXPECT_EQ(c.a, static_cast<float>(r1 / 2147483648.0 * 151.0));
    EXPECT_EQ(c.b, static_cast<float>(r2 / 2147483648.0 * 151.0));
    EXPECT_EQ(c.size, static_cast<float>(10 + 20 * (r3 / 2147483648.0)));
    EXPECT_EQ(c.height, 100.0f);
}

TEST(Raise, WorkedExampleOnLevelGroundAddsAndClampsTo0To255)
{
    struct Case {
        unsigned char base;
        float height;
        int col75, col76, col80, col84, col85, col86;
    };
    const Case cases[] = {
        {0, 100, 98, 98, 57, 5, 0, 0},            // the worked example
        {20, 100, 118, 118, 77, 25, 20, 20},      // adds to what is there
        {200, 100, 255, 255, 255, 205, 200, 200}, // saturates at 255
        {50, -100, 0, 0, 0, 45, 50, 50},          // digs, never below 0
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(testing::Message() << "base " << int(k.base) << " height " << k.height);
        Grid g = filled(k.base);
        raiseCircle(g.data(), {75.5f, 75.5f, k.height, 20});
        EXPECT_EQ(at(g, 75, 75), k.col75);
        EXPECT_EQ(at(g, 76, 75), k.col76);
        EXPECT_EQ(at(g, 80, 75), k.col80);
        EXPECT_EQ(at(g, 84, 75), k.col84);
        EXPECT_EQ(at(g, 85, 75), k.col85);
        EXPECT_EQ(at(g, 86, 75), k.col86);
        EXPECT_EQ(at(g, 71, 75), k.col80); // symmetric about the centre
        EXPECT_EQ(at(g, 75, 80), k.col80);
        EXPECT_EQ(at(g, 75, 71), k.col80);
        EXPECT_EQ(at(g, 10, 10), k.base);
    }
}

TEST(Raise, FastFormEqualsThePlainForm)
{
    std::srand(2718);
    auto unit = [] { return static_cast<float>(std::rand() / 2147483648.0); };
    std::vector<Circle> cs;
    for (int k = 0; k < 400; ++k)
        cs.push_back({unit() * 151, unit() * 151, unit() * 600 - 200, unit() * 80});
    // Heights so large that points a hair inside the rim are raised too.
    for (int k = 0; k < 200; ++k)
        cs.push_back({unit() * 151, unit() * 151, k % 2 ? 1e9f : -1e9f, unit() * 60});
    const float inf = std::numeric_limits<float>::infinity();
    // Rims on grid points, past the edge, no size, negative, huge and NaN sizes and heights.
    cs.insert(cs.end(), {{75, 75, 100, 20},
                         {150.9f, 0.2f, 100, 20},
                         {150, 150, 255, 300},
                         {75.5f, 75.5f, 100, 0},
                         {40.25f, 90.75f, 100, -30},
                         {10, 10, 100, 1e20f},
                         {10, 10, 100, inf},
                         {10, 10, 100, kNaN},
                         {10, 10, inf, 30},
                         {10, 10, kNaN, 30}});
    for (size_t k = 0; k < cs.size(); ++k) {
        Grid fast = filled(static_cast<unsigned char>(k * 37));
        Grid plain = fast;
        raiseCircle(fast.data(), cs[k]);
        raiseCircleReference(plain.data(), cs[k]);
        EXPECT_EQ(fast, plain) << "circle " << k << " at " << cs[k].a << "," << cs[k].b << " size "
                               << cs[k].size << " height " << cs[k].height;
    }
}

TEST(Generate, ProgressBarDots)
{
    // trunc(80 * (n - 1) / n) dots: 0 for 0 or 1 circle, 72 for 10, 79 for 90 and 224.
    const std::pair<float, int> cases[] = {
        {0, 0}, {1.0f / 22500 + 1e-9f, 0}, {10.0f / 22500 + 1e-9f, 72}, {0.004f, 79}, {0.01f, 79}};
    for (const auto &[density, dots] : cases) {
        Grid g{};
        testing::internal::CaptureStdout();
        std::srand(1);
        generateHeightMap(g.data(), circles(density, 10, 30, 100, 1));
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "Generating terrain\n" + std::string(dots, '.') + "\n")
            << density;
    }
}

TEST(Generate, FlatWithoutCirclesSaturatedAndInvertedThenLoweredToZero)
{
    for (int invert : {0, 1})
        EXPECT_EQ(generated(circles(0, 10, 30, 100, 1, invert), 5), filled(0)) << invert;

    // Full-height overlapping circles make plateaus at 255; the lowest point is 0.
    const Grid plain = generated(circles(0.004f, 10, 30, 255, 0, 0), 11);
    const Grid inverted = generated(circles(0.004f, 10, 30, 255, 0, 1), 11);
    EXPECT_EQ(*std::min_element(plain.begin(), plain.end()), 0);
    EXPECT_GT(std::count(plain.begin(), plain.end(), 255), 1000);
    const int top = *std::max_element(plain.begin(), plain.end());
    for (int k = 0; k < kGridPoints; ++k)
        ASSERT_EQ(inverted[k], top - plain[k]) << "point " << k;

    // Low circles never reach 255, so 255 - h alone would float above the floor.
    const Grid low = generated(circles(0.004f, 10, 30, 60, 1, 1), 3);
    EXPECT_EQ(*std::min_element(low.begin(), low.end()), 0);
    EXPECT_LT(*std::max_element(low.begin(), low.end()), 255);
}

TEST(Generate, MatchesTheReferenceBitForBit)
{
    std::vector<Terrain> ts = {
        circles(0.01f, 10, 30, 120, 1, 1), circles(0.002f, 30, 90, 255, 4),
        circles(0.02f, 6, 14, 60, 1),      circles(0.005f, 10, 300, 150, 0.5f),
        circles(0.01f, 10, 30, -120, 1),   circles(0.003f, -40, 40, 180, 2, 1),
    };
    ASSERT_TRUE(loadTerrains(QUORBLY_DATA_DIR "/terrains"));
    ts.insert(ts.end(), terrains.begin(), terrains.end());
    destroyTerrains();
    for (const Terrain &t : ts)
        for (unsigned s : {1u, 987654u})
            EXPECT_EQ(generated(t, s), generated(t, s, true))
                << "circles " << t.circlesPerCell << " sizes " << t.circleSizeMin << ".."
                << t.circleSizeMax << " seed " << s;
}

TEST(Heights, AverageGridPointsAndInRange)
{
    EXPECT_EQ(getAverageHeight(filled(0).data()), 0.0f);
    EXPECT_EQ(getAverageHeight(filled(100).data()), 1.0f);
    Grid g{};
    at(g, 0, 0) = 228;
    at(g, 150, 150) = 200;
    EXPECT_FLOAT_EQ(getAverageHeight(g.data()), static_cast<float>(428 * 0.01 / 22801));

    at(g, 0, 0) = 37;
    at(g, 150, 0) = 255;
    at(g, 3, 140) = 1;
    EXPECT_EQ(getHeight(g.data(), 0, 0), 0.37f);
    EXPECT_EQ(getHeight(g.data(), 150, 0), 2.55f);
    EXPECT_EQ(getHeight(g.data(), 3, 140), 0.01f);
    EXPECT_EQ(getHeight(g.data(), 140, 3), 0.0f); // row and column not swapped

    const std::array<float, 2> inside[] = {{0, 0}, {15, 15}, {0, 15}, {15, 0}, {7.5f, 7.5f}};
    const std::array<float, 2> outside[] = {{15.001f, 3}, {-0.001f, 3}, {3, 15.001f},
                                            {3, -0.001f}, {kNaN, 3},    {3, kNaN}};
    for (const auto &[x, z] : inside)
        EXPECT_EQ(inRange(g.data(), x, z), 1) << x << "," << z;
    for (const auto &[x, z] : outside) {
        EXPECT_EQ(inRange(g.data(), x, z), 0) << x << "," << z;
        EXPECT_EQ(getRealHeight(g.data(), x, z), -1.0f) << x << "," << z;
    }
}

TEST(Heights, RealHeightAtGridPointsAndInsideACell)
{
    Grid g = randomGrid(5);
    EXPECT_FLOAT_EQ(getRealHeight(g.data(), 0, 0), getHeight(g.data(), 0, 0));
    EXPECT_FLOAT_EQ(getRealHeight(g.data(), 15, 15), getHeight(g.data(), 150, 150));
    EXPECT_FLOAT_EQ(getRealHeight(g.data(), 15, 0), getHeight(g.data(), 150, 0));
    EXPECT_FLOAT_EQ(getRealHeight(g.data(), 0, 15), getHeight(g.data(), 0, 150));
    EXPECT_NEAR(getRealHeight(g.data(), 4.0f, 13.5f), getHeight(g.data(), 40, 135), 1e-4);

    at(g, 40, 60) = 100;
    at(g, 41, 60) = 200;
    at(g, 40, 61) = 50;
    at(g, 41, 61) = 10;
    EXPECT_NEAR(getRealHeight(g.data(), 4.05f, 6.0f), 1.5f, 1e-5); // midpoint
    EXPECT_NEAR(getRealHeight(g.data(), 4.05f, 6.05f), (1.0f + 2 + 0.5f + 0.1f) / 4, 1e-5);
    EXPECT_NEAR(getRealHeight(g.data(), 4.0f, 6.025f), 0.875f, 1e-5); // a quarter

    // A player is on the field by x and z alone.
    Player p{};
    p.x = 16;
    p.z = 7;
    p.y = -30;
    EXPECT_EQ(playerInRange(g.data(), p), 0);
    p.y = 100;
    EXPECT_EQ(playerInRange(g.data(), p), 0);
    p.x = p.z = 15;
    p.y = -50;
    EXPECT_EQ(playerInRange(g.data(), p), 1);
}

TEST(Normals, FlatAndTheTenBytesPerColumnSlope)
{
    const Grid flat = filled(40);
    for (int i : {0, 75, 150})
        for (int j : {0, 1, 150})
            expectVector(heightMapNormal(flat.data(), i, j), 0, 1, 0, 0);
    Grid slope{}; // rises to 250 at column 25, then flat
    for (int j = 0; j < kGridSize; ++j)
        for (int i = 0; i < kGridSize; ++i)
            at(slope, i, j) = static_cast<unsigned char>(std::min(255, 10 * i));
    for (int i = 1; i < 25; ++i)
        for (int j : {0, 1, 60, 150}) {
            SCOPED_TRACE(testing::Message() << i << "," << j);
            const vector n = heightMapNormal(slope.data(), i, j);
            EXPECT_FLOAT_EQ(n.x, -kR2);
            EXPECT_FLOAT_EQ(n.y, kR2);
            EXPECT_EQ(n.z, 0.0f);
        }
}

TEST(Normals, InteriorEdgesAndCornersAverageTheQuadrantsThatExist)
{
    // One neighbour raised by 10 bytes (0.1, one step up): four quadrants at
    // an interior point give 22.5 degrees, two at an edge, one at a corner.
    const float c = 0.38268343f, s = 0.92387953f;
    struct Case {
        int ri, rj, value, i, j;
        float x, y, z;
    };
    const Case cases[] = {
        {76, 75, 10, 75, 75, -c, s, 0},
        {0, 76, 10, 0, 75, 0, s, -c},
        {1, 75, 10, 0, 75, -kR2, kR2, 0},
        {1, 0, 10, 0, 0, -kR2, kR2, 0},
        {1, 1, 200, 0, 0, 0, 1, 0}, // the diagonal is in no quadrant
        {149, 150, 10, 150, 150, kR2, kR2, 0},
        {150, 149, 10, 150, 150, 0, kR2, kR2},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(testing::Message()
                     << "raised " << k.ri << "," << k.rj << " normal at " << k.i << "," << k.j);
        Grid g{};
        at(g, k.ri, k.rj) = static_cast<unsigned char>(k.value);
        expectVector(heightMapNormal(g.data(), k.i, k.j), k.x, k.y, k.z);
    }
}

// The mesh walk that the display list is compiled from: each quad's corners
// with the normal and texture coordinate current at each, batch by batch.

namespace
{

struct Corner {
    vector p, n;
    double s, t;
};

struct RecordingSink {
    std::vector<std::vector<Corner>> batches;
    vector normal_{};
    double s_ = -1, t_ = -1;
    void begin() { batches.emplace_back(); }
    void end() {}
    void texCoord(double s, double t)
    {
        s_ = s;
        t_ = t;
    }
    void normal(vector n) { normal_ = n; }
    void vertex(vector p) { batches.back().push_back({p, normal_, s_, t_}); }
};

bool same(vector a, vector b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

vector winding(const Corner *q)
{
    return crossProduct(subVectors(q[1].p, q[0].p), subVectors(q[2].p, q[0].p));
}

} // namespace

TEST(Mesh, QuadCountsCornersNormalsTextureAndOutwardFaces)
{
    Grid flat{};
    at(flat, 150, 75) = 120;
    EXPECT_TRUE(same(gridPoint(flat.data(), 150, 75), {15.0f, 1.2f, 7.5f}));

    const Grid g = randomGrid(77);
    RecordingSink sink;
    walkSurface(g.data(), sink);
    walkBottom(sink);
    walkWalls(g.data(), sink);
    // 22500 surface quads, one bottom quad and 4 x 150 wall quads.
    ASSERT_EQ(sink.batches.size(), 6u);
    const std::size_t quads[] = {22500, 1, 150, 150, 150, 150};
    for (int b = 0; b < 6; ++b)
        ASSERT_EQ(sink.batches[b].size(), 4 * quads[b]) << "batch " << b;

    // Quad (i, j) visits (i, j), (i, j+1), (i+1, j+1), (i+1, j), counter-clockwise
    // from above, each corner with its smoothed normal and texture coordinate.
    const int di[] = {0, 0, 1, 1}, dj[] = {0, 1, 1, 0};
    int corners = 0;
    for (int i = 0; i < 150; ++i)
        for (int j = 0; j < 150; ++j) {
            const Corner *q = &sink.batches[0][(i * 150 + j) * 4];
            ASSERT_GT(winding(q).y, 0);
            for (int v = 0; v < 4; ++v) {
                const int gi = i + di[v], gj = j + dj[v];
                ASSERT_TRUE(same(q[v].n, heightMapNormal(g.data(), gi, gj))) << gi << "," << gj;
                ASSERT_TRUE(same(q[v].p, gridPoint(g.data(), gi, gj))) << gi << "," << gj;
                ASSERT_EQ(q[v].s, gi / 150.0);
                ASSERT_EQ(q[v].t, gj / 150.0);
                if ((gi == 0 || gi == 150) && (gj == 0 || gj == 150)) {
                    // The texture corners: (0,0), (1,0), (0,1), (1,1).
                    EXPECT_EQ(q[v].s, gi / 150);
                    EXPECT_EQ(q[v].t, gj / 150);
                    ++corners;
                }
            }
        }
    EXPECT_EQ(corners, 4);

    // Bottom and walls face outward with that normal, and reach from y = -1
    // up to the surface's outermost grid points.
    const vector outward[] = {{0, -1, 0}, {0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}};
    for (int b = 1; b < 6; ++b)
        for (std::size_t k = 0; k < sink.batches[b].size(); k += 4) {
            const Corner *q = &sink.batches[b][k];
            ASSERT_GT(dotProduct(winding(q), outward[b - 1]), 0.0f) << "batch " << b;
            int tops = 0;
            for (int v = 0; v < 4; ++v) {
                ASSERT_TRUE(same(q[v].n, outward[b - 1]));
                tops += q[v].p.y != -1.0f; // ground heights are never negative
                ASSERT_TRUE(
                    q[v].p.y == -1.0f ||
                    same(q[v].p, gridPoint(g.data(), static_cast<int>(std::lround(q[v].p.x * 10)),
                                           static_cast<int>(std::lround(q[v].p.z * 10)))));
            }
            ASSERT_EQ(tops, b == 1 ? 0 : 2) << "batch " << b;
        }
}
