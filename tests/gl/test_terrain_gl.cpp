#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gl/gl_context.h"
#include "terrain/heightmap.h"
#include "terrain/mesh_gl.h"
#include "terrain/terrain.h"
#include "terrain/texture.h"
#include "terrain/texture_gl.h"

namespace
{

using Grid = std::array<unsigned char, kGridPoints>;

constexpr std::array<float, 4> kAmbient{0.2f, 0.3f, 0.4f, 1.0f};
constexpr std::array<float, 4> kDiffuse{0.4f, 0.3f, 0.2f, 1.0f};

// Lit colour of a face turned towards the light: material ambient times the
// light's 0.5 plus the full diffuse, in bytes.
std::array<int, 3> litColour(float cosine = 1.0f)
{
    std::array<int, 3> c{};
    for (int k = 0; k < 3; ++k)
        c[k] = static_cast<int>((kAmbient[k] * 0.5f + kDiffuse[k] * cosine) * 255 + 0.5f);
    return c;
}

Terrain testTerrain(int noiseRange)
{
    Terrain t{};
    t.circlesPerCell = 0.004f;
    t.circleSizeMin = 10;
    t.circleSizeMax = 30;
    t.circleHeight = 100;
    t.circleHeightFactor = 1;
    t.diffuse = kDiffuse;
    t.ambient = kAmbient;
    t.noisePersistence = 0.5f;
    t.noiseRange = noiseRange;
    return t;
}

class TerrainGl : public testing::Test
{
  protected:
    void SetUp() override
    {
        if (!gltest::openWindow())
            GTEST_SKIP() << "no display";
        terrains = {testTerrain(0)};
        numTerrains = 1;
        terrainCurrent = 0;
        quiet = std::fopen("/dev/null", "w");
    }

    void TearDown() override
    {
        if (terrainDisplayList)
            destroyHeightMap();
        for (unsigned int name : textures)
            deleteTexture(name);
        if (quiet)
            std::fclose(quiet);
    }

    // A texture for the current terrain, its console output swallowed.
    unsigned int makeTexture()
    {
        testing::internal::CaptureStdout();
        const unsigned int name = initTexture(&terrains[terrainCurrent]);
        testing::internal::GetCapturedStdout();
        textures.push_back(name);
        return name;
    }

    void compile(const Grid &g, unsigned int textureName)
    {
        terrainDisplayList = glGenLists(1);
        buildDisplayList(g.data(), textureName);
    }

    // One white directional light shining from `towards` (world coordinates,
    // so call after the view is set), no global ambient.
    static void light(float x, float y, float z)
    {
        const std::array<float, 4> zero{0, 0, 0, 1};
        const std::array<float, 4> ambient{0.5f, 0.5f, 0.5f, 1};
        const std::array<float, 4> white{1, 1, 1, 1};
        const std::array<float, 4> dir{x, y, z, 0};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, zero.data());
        glLightfv(GL_LIGHT0, GL_AMBIENT, ambient.data());
        glLightfv(GL_LIGHT0, GL_DIFFUSE, white.data());
        glLightfv(GL_LIGHT0, GL_SPECULAR, zero.data());
        glLightfv(GL_LIGHT0, GL_POSITION, dir.data());
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
    }

    // Looks straight down on the field, one pixel a texel: pixel column px is
    // x = (px + 0.5) * 15 / 512, pixel row py (from the bottom) is z = 15 - ...
    static void viewFromAbove()
    {
        glViewport(0, 0, 512, 512);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 15, -15, 0, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glRotatef(90, 1, 0, 0); // world z runs down the screen, y towards the eye
        light(0, 1, 0);
        clear();
    }

    // A small window onto the point c, seen from 5 units along `from`,
    // keeping only the depths within half a unit of c.
    static void viewPoint(vector c, vector from)
    {
        glViewport(0, 0, 64, 64);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-0.4, 0.4, -0.4, 0.4, 4.5, 5.5);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        const bool vertical = from.y != 0;
        gluLookAt(c.x + 5 * from.x, c.y + 5 * from.y, c.z + 5 * from.z, c.x, c.y, c.z, 0,
                  vertical ? 0 : 1, vertical ? 1 : 0);
        light(from.x, from.y, from.z);
        clear();
    }

    static void clear()
    {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glDisable(GL_TEXTURE_2D);
        glShadeModel(GL_SMOOTH);
    }

    std::FILE *quiet = nullptr;
    std::vector<unsigned int> textures;
};

bool near(std::array<std::uint8_t, 4> p, std::array<int, 3> want, int tolerance)
{
    for (int k = 0; k < 3; ++k)
        if (std::abs(p[k] - want[k]) > tolerance)
            return false;
    return true;
}

std::string str(std::array<std::uint8_t, 4> p)
{
    return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
}

} // namespace

// The grid and its list.

TEST_F(TerrainGl, InitHeightMapFillsTheGridAndCompilesAList)
{
    const unsigned int tex = makeTexture();
    Grid g{};
    std::srand(31);
    testing::internal::CaptureStdout();
    initHeightMap(g.data(), tex);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "Generating terrain\n" + std::string(79, '.') + "\n");
    ASSERT_NE(terrainDisplayList, 0u);
    EXPECT_TRUE(glIsList(terrainDisplayList));

    Grid expected{};
    std::srand(31);
    generateHeightMap(expected.data(), terrains[0], quiet);
    EXPECT_EQ(g, expected);

    const unsigned int list = terrainDisplayList;
    destroyHeightMap();
    EXPECT_FALSE(glIsList(list));
}

TEST_F(TerrainGl, FlatGridFromAboveIsEvenlyLit)
{
    const unsigned int tex = makeTexture(); // range 0: all white
    const Grid g{};
    compile(g, tex);
    viewFromAbove();
    drawHeightMap(g.data());
    const std::vector<std::uint8_t> frame = gltest::readFrame(512, 512);
    const std::array<int, 3> want = litColour();
    int off = 0;
    for (int py = 2; py < 510; py += 3)
        for (int px = 2; px < 510; px += 3) {
            const std::uint8_t *p = &frame[(py * 512 + px) * 4];
            if (!near({p[0], p[1], p[2], p[3]}, want, 2))
                ++off;
        }
    EXPECT_EQ(off, 0) << "want " << want[0] << "," << want[1] << "," << want[2] << " got "
                      << str(gltest::pixel(256, 256));
}

TEST_F(TerrainGl, TextureLiesOnceAcrossTheField)
{
    terrains[0].noiseRange = 40;
    const unsigned int tex = makeTexture();
    const Grid g{};
    compile(g, tex);
    viewFromAbove();
    drawHeightMap(g.data());
    const std::vector<std::uint8_t> frame = gltest::readFrame(512, 512);
    const std::array<int, 3> lit = litColour();
    int checked = 0, off = 0;
    std::string firstOff;
    for (int py = 3; py < 509; py += 7)
        for (int px = 5; px < 507; px += 11) {
            // s along x, t along z; screen rows run up from z = 15.
            const int texel = texture[(511 - py) * 512 + px];
            std::array<int, 3> want{};
            for (int k = 0; k < 3; ++k)
                want[k] = lit[k] * texel / 255;
            const std::uint8_t *p = &frame[(py * 512 + px) * 4];
            ++checked;
            if (!near({p[0], p[1], p[2], p[3]}, want, 3)) {
                if (off++ == 0)
                    firstOff = "pixel " + std::to_string(px) + "," + std::to_string(py) +
                               " texel " + std::to_string(texel) + " got " +
                               str({p[0], p[1], p[2], p[3]});
            }
        }
    EXPECT_EQ(off, 0) << "of " << checked << ", first: " << firstOff;
}

TEST_F(TerrainGl, SlopesAreShadedByTheirNormals)
{
    const unsigned int tex = makeTexture();
    Grid g{};
    // Ten bytes a column along +x up to column 25, flat beyond.
    for (int j = 0; j < kGridSize; ++j)
        for (int i = 0; i < kGridSize; ++i)
            g[j * kGridSize + i] = static_cast<unsigned char>(std::min(250, 10 * i));
    compile(g, tex);
    viewFromAbove();
    drawHeightMap(g.data());
    // Light from straight above meets the 45-degree slope at cos 45.
    const auto slope = gltest::pixel(41, 256); // x = 1.2
    EXPECT_TRUE(near(slope, litColour(0.70710677f), 2)) << str(slope);
    const auto flat = gltest::pixel(400, 256); // x = 11.7
    EXPECT_TRUE(near(flat, litColour(), 2)) << str(flat);
}

TEST_F(TerrainGl, WallsAndBottomShowFromOutsideOnly)
{
    const unsigned int tex = makeTexture();
    Grid g{};
    g.fill(80); // the walls reach from 0.8 down to -1
    compile(g, tex);
    struct Face {
        const char *name;
        vector centre;
        vector outward;
    };
    const Face faces[] = {
        {"wall z = 0", {7.5f, -0.1f, 0}, {0, 0, -1}}, {"wall z = 15", {7.5f, -0.1f, 15}, {0, 0, 1}},
        {"wall x = 0", {0, -0.1f, 7.5f}, {-1, 0, 0}}, {"wall x = 15", {15, -0.1f, 7.5f}, {1, 0, 0}},
        {"bottom", {7.5f, -1, 7.5f}, {0, -1, 0}},
    };
    for (const Face &f : faces) {
        viewPoint(f.centre, f.outward);
        drawHeightMap(g.data());
        // Untextured material colour, lit head-on.
        const auto outside = gltest::pixel(32, 32);
        EXPECT_TRUE(near(outside, litColour(), 2)) << f.name << " from outside: " << str(outside);

        viewPoint(f.centre, negative(f.outward));
        drawHeightMap(g.data());
        const auto inside = gltest::pixel(32, 32);
        EXPECT_TRUE(near(inside, {0, 0, 0}, 0)) << f.name << " from inside: " << str(inside);
    }
}

TEST_F(TerrainGl, ListLeavesTexturingOffAndItsTextureBound)
{
    const unsigned int tex = makeTexture();
    const Grid g{};
    compile(g, tex);
    GLuint other = 0;
    glGenTextures(1, &other);
    textures.push_back(other);

    const std::array<float, 4> red{0.9f, 0.1f, 0.1f, 1.0f};
    glMaterialfv(GL_FRONT, GL_DIFFUSE, red.data());
    glDisable(GL_CULL_FACE);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, other);
    glEnable(GL_TEXTURE_2D);
    viewFromAbove();
    glEnable(GL_TEXTURE_2D);

    drawHeightMap(g.data());

    GLint active = 0, bound = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE1);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<unsigned int>(bound), tex);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    // The lighting and polygon groups come back as they were.
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    std::array<float, 4> diffuse{};
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse.data());
    EXPECT_EQ(diffuse, red);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TerrainGl, VertexCarriesItsSmoothedNormal)
{
    Grid g{};
    g[75 * kGridSize + 76] = 10;
    glBegin(GL_POINTS);
    drawHeightMapVertex(g.data(), 75, 75);
    glEnd();
    std::array<float, 3> n{};
    glGetFloatv(GL_CURRENT_NORMAL, n.data());
    const vector want = heightMapNormal(g.data(), 75, 75);
    EXPECT_EQ(n[0], want.x);
    EXPECT_EQ(n[1], want.y);
    EXPECT_EQ(n[2], want.z);
    EXPECT_LT(want.x, -0.3f); // tilted away from the raised neighbour
}

// The texture object.

TEST_F(TerrainGl, InitTextureUploadsTheTexelsWithMipmaps)
{
    terrains[0].noiseRange = 40;
    const Uint32 before = SDL_GetTicks();
    testing::internal::CaptureStdout();
    const unsigned int name = initTexture(&terrains[0]);
    const std::string printed = testing::internal::GetCapturedStdout();
    const Uint32 after = SDL_GetTicks();
    textures.push_back(name);
    EXPECT_EQ(printed, "Generating texture\n" + std::string(79, '.') + "\n");
    EXPECT_GE(seed, before);
    EXPECT_LE(seed, after);

    ASSERT_TRUE(glIsTexture(name));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<unsigned int>(bound), name);
    GLint v = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &v);
    EXPECT_EQ(v, GL_NEAREST_MIPMAP_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &v);
    EXPECT_EQ(v, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &v);
    EXPECT_EQ(v, GL_CLAMP);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &v);
    EXPECT_EQ(v, GL_CLAMP);

    // Level 0 holds the generated texels; the chain goes down to 1 x 1.
    std::vector<unsigned char> level0(kTexels);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, level0.data());
    EXPECT_TRUE(std::equal(level0.begin(), level0.end(), texture.begin()));
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 512);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 9, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 1);
    unsigned char last = 0;
    glGetTexImage(GL_TEXTURE_2D, 9, GL_LUMINANCE, GL_UNSIGNED_BYTE, &last);
    EXPECT_GE(last, 175);
    EXPECT_LE(last, 255);

    deleteTexture(name);
    textures.pop_back();
    EXPECT_FALSE(glIsTexture(name));
}
