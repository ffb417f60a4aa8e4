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
std::array<int, 3> litColour()
{
    std::array<int, 3> c{};
    for (int k = 0; k < 3; ++k)
        c[k] = static_cast<int>((kAmbient[k] * 0.5f + kDiffuse[k]) * 255 + 0.5f);
    return c;
}

class TerrainGl : public testing::Test
{
  protected:
    void SetUp() override
    {
        if (!gltest::openWindow())
            GTEST_SKIP() << "no display";
        Terrain t{};
        t.circlesPerCell = 0.004f; // 90 circles
        t.circleSizeMin = 10;
        t.circleSizeMax = 30;
        t.circleHeight = 100;
        t.diffuse = kDiffuse;
        t.ambient = kAmbient;
        t.noisePersistence = 0.5f;
        terrains = {t};
        numTerrains = 1;
        terrainCurrent = 0;
    }

    void TearDown() override
    {
        if (terrainDisplayList)
            destroyHeightMap();
        for (unsigned int name : textures)
            deleteTexture(name);
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
        const float zero[] = {0, 0, 0, 1}, ambient[] = {0.5f, 0.5f, 0.5f, 1},
                    white[] = {1, 1, 1, 1}, dir[] = {x, y, z, 0};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, zero);
        glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
        glLightfv(GL_LIGHT0, GL_SPECULAR, zero);
        glLightfv(GL_LIGHT0, GL_POSITION, dir);
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
    EXPECT_GT(*std::max_element(g.begin(), g.end()), 0);

    const unsigned int list = terrainDisplayList;
    destroyHeightMap();
    EXPECT_FALSE(glIsList(list));
    EXPECT_EQ(terrainDisplayList, 0u);
}

TEST_F(TerrainGl, FlatGridFromAboveIsEvenlyLitAndTexturedOnce)
{
    // Range 0 gives an all-white texture; range 40 the noise, lying once
    // across the field: s along x, t along z, screen rows up from z = 15.
    for (int range : {0, 40}) {
        SCOPED_TRACE(range);
        terrains[0].noiseRange = range;
        const unsigned int tex = makeTexture();
        const Grid g{};
        compile(g, tex);
        viewFromAbove();
        drawHeightMap(g.data());
        destroyHeightMap();
        const std::vector<std::uint8_t> frame = gltest::readFrame(512, 512);
        int checked = 0, off = 0;
        std::string firstOff;
        for (int py = 3; py < 509; py += 5)
            for (int px = 5; px < 507; px += 7) {
                const int texel = texture[(511 - py) * 512 + px];
                std::array<int, 3> want = litColour();
                for (int &c : want)
                    c = c * texel / 255;
                const std::uint8_t *p = &frame[(py * 512 + px) * 4];
                ++checked;
                if (!near({p[0], p[1], p[2], p[3]}, want, 3) && off++ == 0)
                    firstOff = "pixel " + std::to_string(px) + "," + std::to_string(py) +
                               " texel " + std::to_string(texel) + " got " +
                               str({p[0], p[1], p[2], p[3]});
            }
        EXPECT_EQ(off, 0) << "of " << checked << ", first: " << firstOff;
    }
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
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE)) << "the polygon group comes back as it was";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
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

    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    ASSERT_EQ(static_cast<unsigned int>(bound), name);
    const std::pair<GLenum, GLint> params[] = {{GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_LINEAR},
                                               {GL_TEXTURE_MAG_FILTER, GL_LINEAR},
                                               {GL_TEXTURE_WRAP_S, GL_CLAMP},
                                               {GL_TEXTURE_WRAP_T, GL_CLAMP}};
    for (const auto &[param, want] : params) {
        GLint v = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, param, &v);
        EXPECT_EQ(v, want) << param;
    }

    // Level 0 holds the generated texels; the chain goes down to 1 x 1.
    std::vector<unsigned char> level0(kTexels);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, level0.data());
    EXPECT_TRUE(std::equal(level0.begin(), level0.end(), texture.begin()));
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 9, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 1);

    deleteTexture(name);
    textures.pop_back();
    EXPECT_FALSE(glIsTexture(name));
}
