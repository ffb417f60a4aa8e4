// The frame: plain and shadowed passes, the light's view, fading balls and
// the state a frame leaves behind, read back from a real context.

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/entry.h"
#include "core/match.h"
#include "core/state.h"
#include "gl/frame_util.h"
#include "gl/gl_context.h"
#include "render/display.h"
#include "render/glext.h"
#include "render/model.h"
#include "render/shader.h"
#include "sim/particle.h"
#include "sim/powerup.h"
#include "terrain/heightmap.h"
#include "terrain/mesh_gl.h"
#include "terrain/terrain.h"

namespace
{

using frametest::ChangeDir;
using frametest::Frame;
using frametest::save;

constexpr int kW = 800;
constexpr int kH = 600;

struct Vec3 {
    double x, y, z;
};

class DisplayTest : public ::testing::Test
{
  protected:
    // Programs, models and the shadow map, once per process.
    static void prepare()
    {
        if (prepared)
            return;
        prepared = true;
        loadGlExtensions();
        ChangeDir cd(QUORBLY_DATA_DIR);
        programBallBuilt = compile_program("ball.vert", "ball.frag");
        programTerrainBuilt = compile_program("terrain.vert", "terrain.frag");
        programPowerupBuilt = compile_program("powerup.vert", "powerup.frag");
        initModel();
        initPower();

        // The shadow map as the game's setup makes it.
        glGenTextures(1, &mapTexture);
        qglGenFramebuffersEXT(1, &mapFBO);
        qglActiveTexture(GL_TEXTURE1);
        glBindTexture(GL_TEXTURE_2D, mapTexture);
        glEnable(GL_TEXTURE_2D);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, 2048, 2048, 0, GL_DEPTH_COMPONENT,
                     GL_UNSIGNED_BYTE, nullptr);
        // As after the first shadowed frame: unit 1 textures nothing outside that pass.
        glDisable(GL_TEXTURE_2D);

        // A plain light texture, so shading is all that changes a pixel.
        qglActiveTexture(GL_TEXTURE0);
        glGenTextures(1, &groundTexture);
        glBindTexture(GL_TEXTURE_2D, groundTexture);
        std::vector<std::uint8_t> texels(256 * 256 * 3, 235);
        // With mipmaps: the terrain list asks for a mipmapped filter.
        gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, 256, 256, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    }

    void SetUp() override
    {
        ASSERT_TRUE(frametest::openWindow(kW, kH)) << "no display (run under xvfb-run)";
        prepare();
        ASSERT_NE(programBallBuilt, 0u);
        ASSERT_NE(programTerrainBuilt, 0u);
        ASSERT_NE(programPowerupBuilt, 0u);
        resetGameState();
        programBall = programBallBuilt;
        programTerrain = programTerrainBuilt;
        programPowerup = programPowerupBuilt;
        shadowMapTexture = mapTexture;
        shadowMapFBO = mapFBO;
        shadersSupported = 1;
        shadowsDisabled = 0;
        toggleShadows = 1;
        toggleHUD = 0;

        // The fixed state of the game's setup and the window's projection.
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glLightfv(GL_LIGHT0, GL_AMBIENT, lightAmb.data());
        glLightfv(GL_LIGHT0, GL_DIFFUSE, lightDiff.data());
        glLightfv(GL_LIGHT0, GL_SPECULAR, lightSpec.data());
        glClearColor(0, 0, 0, 0);
        glEnable(GL_DEPTH_TEST);
        glShadeModel(GL_SMOOTH);
        reshape(kW, kH);

        flatField();
        setupPlayers();
        // Player 1 stands in the middle, player 2 is parked far off the field.
        placePlayer(0, 7.5f, 0.0f, 7.5f, 1.0f);
        placePlayer(1, 7.5f, 0.0f, 500.0f, 0.25f);
        initParticles();
        powerup = {};
        cameraPos = {7.5f, 10.0f, 20.0f};
        cameraRot = -39.0f;
    }

    void TearDown() override
    {
        if (!prepared) // no window, nothing was set up
            return;
        if (terrainDisplayList)
            destroyHeightMap();
        terrainDisplayList = 0;
        while (glGetError() != GL_NO_ERROR) {
        }
    }

    // A level field at height 0, with its display list.
    void flatField()
    {
        Terrain t{};
        std::strcpy(t.name.data(), "Test Flat");
        t.gravity = 9.81f;
        t.friction = 0.5f;
        t.diffuse = {0.6f, 0.7f, 0.5f, 1.0f};
        t.ambient = {0.3f, 0.35f, 0.25f, 1.0f};
        terrains = {t};
        terrainCurrent = 0;
        terrain = &terrains[0];
        heightmap.fill(0);
        if (terrainDisplayList)
            destroyHeightMap();
        terrainDisplayList = glGenLists(1);
        buildDisplayList(heightmap.data(), groundTexture);
    }

    static void placePlayer(int i, float x, float y, float z, float radius)
    {
        Player &p = players[i];
        p.x = x;
        p.y = y;
        p.z = z;
        p.radius = radius;
        p.spawning = 0;
        p.grounded = 1;
        p.powerupStage = 0;
    }

    Frame frame()
    {
        display(nullptr);
        return Frame::read(kW, kH);
    }

    // The camera view of the frame (outside the end of a match), as GLU wants it.
    struct Matrices {
        GLdouble modelview[16], projection[16];
        GLint viewport[4];
    };
    Matrices cameraMatrices()
    {
        Matrices m{};
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glRotatef(360.0f - cameraRot, 1, 0, 0);
        glTranslatef(-cameraPos[0], -cameraPos[1], -cameraPos[2]);
        glGetDoublev(GL_MODELVIEW_MATRIX, m.modelview);
        glPopMatrix();
        glGetDoublev(GL_PROJECTION_MATRIX, m.projection);
        glGetIntegerv(GL_VIEWPORT, m.viewport);
        return m;
    }

    // Window position of a world point.
    Vec3 project(Vec3 p)
    {
        const Matrices m = cameraMatrices();
        Vec3 out{};
        gluProject(p.x, p.y, p.z, m.modelview, m.projection, m.viewport, &out.x, &out.y, &out.z);
        return out;
    }

    // World points of every pixel of the last frame, from its depth buffer.
    std::vector<Vec3> unprojectFrame()
    {
        std::vector<float> depth(static_cast<std::size_t>(kW) * kH);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kW, kH, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
        const Matrices m = cameraMatrices();
        std::vector<Vec3> out(depth.size());
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * kW + x;
                gluUnProject(x + 0.5, y + 0.5, depth[i], m.modelview, m.projection, m.viewport,
                             &out[i].x, &out[i].y, &out[i].z);
            }
        return out;
    }

    static inline bool prepared = false;
    static inline GLuint programBallBuilt = 0, programTerrainBuilt = 0, programPowerupBuilt = 0;
    static inline GLuint mapTexture = 0, mapFBO = 0, groundTexture = 0;
};

// ---- shadows --------------------------------------------------------------

struct ShadowCheck {
    int darker = 0;    // ground pixels the shadow darkened
    int misplaced = 0; // darkened pixels the ball cannot shade from the light
    int lighter = 0;   // pixels the shadowed frame made brighter
};

// Compares a shadowed frame with the plain one, pixel by pixel, against the
// geometry: a darkened pixel must be ground whose line to the light passes
// through the ball, on the ball's far side from the light.
ShadowCheck checkShadow(const Frame &plain, const Frame &shadowed, const std::vector<Vec3> &world,
                        Vec3 centre, double radius)
{
    ShadowCheck out;
    const Vec3 light{lightPos[0], lightPos[1], lightPos[2]};
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const int d = plain.brightness(x, y) - shadowed.brightness(x, y);
            if (d < -6)
                ++out.lighter;
            if (d <= 24)
                continue;
            ++out.darker;
            const Vec3 p = world[static_cast<std::size_t>(y) * kW + x];
            // Distance from the ball's centre to the segment from p to the light.
            const Vec3 seg{light.x - p.x, light.y - p.y, light.z - p.z};
            const Vec3 pc{centre.x - p.x, centre.y - p.y, centre.z - p.z};
            const double len2 = seg.x * seg.x + seg.y * seg.y + seg.z * seg.z;
            const double t =
                std::clamp((pc.x * seg.x + pc.y * seg.y + pc.z * seg.z) / len2, 0.0, 1.0);
            const Vec3 off{pc.x - t * seg.x, pc.y - t * seg.y, pc.z - t * seg.z};
            const double dist = std::sqrt(off.x * off.x + off.y * off.y + off.z * off.z);
            const double away =
                (p.x - centre.x) * (light.x - centre.x) + (p.z - centre.z) * (light.z - centre.z);
            const bool onGround = std::abs(p.y) < 0.05;
            // Right under the ball the ground is shaded on every side of its foot.
            const double foot = std::hypot(p.x - centre.x, p.z - centre.z);
            if (!onGround || dist > radius + 0.15 || (away > 0 && foot > radius))
                ++out.misplaced;
        }
    return out;
}

// Share of darkened pixels in a 15x15 window around a window position.
double darkenedShare(const Frame &plain, const Frame &shadowed, Vec3 at)
{
    int n = 0, dark = 0;
    for (int y = static_cast<int>(at.y) - 7; y <= static_cast<int>(at.y) + 7; ++y)
        for (int x = static_cast<int>(at.x) - 7; x <= static_cast<int>(at.x) + 7; ++x) {
            ++n;
            dark += plain.brightness(x, y) - shadowed.brightness(x, y) > 24;
        }
    return static_cast<double>(dark) / n;
}

// Where the light's ray through the ball's centre meets the ground (y = 0),
// and a ground point just outside the ball's footprint toward the light.
void shadowPoints(Vec3 centre, double radius, Vec3 &behind, Vec3 &litSide)
{
    const Vec3 light{lightPos[0], lightPos[1], lightPos[2]};
    const double t = light.y / (light.y - centre.y);
    behind = {light.x + t * (centre.x - light.x), 0.0, light.z + t * (centre.z - light.z)};
    const double dx = light.x - centre.x, dz = light.z - centre.z;
    const double len = std::hypot(dx, dz);
    litSide = {centre.x + (radius + 0.5) * dx / len, 0.0, centre.z + (radius + 0.5) * dz / len};
}

TEST_F(DisplayTest, ShadowDarkensTheGroundBehindTheBallAndNothingElse)
{
    toggleShadows = 0;
    const Frame plain = frame();
    toggleShadows = 1;
    const Frame shadowed = frame();
    const std::vector<Vec3> world = unprojectFrame();
    save(plain, "shadow_off.ppm");
    save(shadowed, "shadow_on.ppm");

    const Vec3 centre{7.5, 1.0, 7.5};
    const ShadowCheck c = checkShadow(plain, shadowed, world, centre, 1.0);
    EXPECT_GT(c.darker, 300);
    EXPECT_EQ(c.misplaced, 0);
    EXPECT_EQ(c.lighter, 0);

    Vec3 behind{}, litSide{};
    shadowPoints(centre, 1.0, behind, litSide);
    EXPECT_GT(darkenedShare(plain, shadowed, project(behind)), 0.15);
    EXPECT_EQ(darkenedShare(plain, shadowed, project(litSide)), 0.0);
}

TEST_F(DisplayTest, ShadowFollowsTheLight)
{
    // The light moved to the other side: the shadow swaps sides with it.
    lightPos = {0.0f, 13.0f, 0.0f, 1.0f};
    cameraPos = {7.5f, 12.0f, 22.0f};
    toggleShadows = 0;
    const Frame plain = frame();
    toggleShadows = 1;
    const Frame shadowed = frame();
    const std::vector<Vec3> world = unprojectFrame();
    save(shadowed, "shadow_light_moved.ppm");

    const Vec3 centre{7.5, 1.0, 7.5};
    const ShadowCheck c = checkShadow(plain, shadowed, world, centre, 1.0);
    EXPECT_GT(c.darker, 300);
    EXPECT_EQ(c.misplaced, 0);
    Vec3 behind{}, litSide{};
    shadowPoints(centre, 1.0, behind, litSide);
    EXPECT_GT(behind.z, centre.z); // now toward the camera
    EXPECT_GT(darkenedShare(plain, shadowed, project(behind)), 0.15);
    EXPECT_EQ(darkenedShare(plain, shadowed, project(litSide)), 0.0);
}

TEST_F(DisplayTest, WithoutTheTerrainProgramTheGroundStillTakesTheShadow)
{
    // The fixed pipeline's depth comparison on unit 1 does the work.
    toggleShadows = 0;
    const Frame plain = frame();
    toggleShadows = 1;
    programTerrain = 0;
    const Frame shadowed = frame();
    const std::vector<Vec3> world = unprojectFrame();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const Vec3 centre{7.5, 1.0, 7.5};
    const ShadowCheck c = checkShadow(plain, shadowed, world, centre, 1.0);
    EXPECT_GT(c.darker, 300);
    EXPECT_EQ(c.misplaced, 0);
    Vec3 behind{}, litSide{};
    shadowPoints(centre, 1.0, behind, litSide);
    EXPECT_GT(darkenedShare(plain, shadowed, project(behind)), 0.15);
    EXPECT_EQ(darkenedShare(plain, shadowed, project(litSide)), 0.0);
}

// Whether the segment from a ground point to the light passes under the
// terrain surface somewhere (marched in 0.05 steps across the field).
bool lightBlockedByHills(Vec3 p, double margin)
{
    const Vec3 light{lightPos[0], lightPos[1], lightPos[2]};
    const Vec3 d{light.x - p.x, light.y - p.y, light.z - p.z};
    const double len = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    for (double t = 0.15; t < len; t += 0.05) {
        const double x = p.x + d.x * t / len, y = p.y + d.y * t / len, z = p.z + d.z * t / len;
        const float ground =
            getRealHeight(heightmap.data(), static_cast<float>(x), static_cast<float>(z));
        if (ground >= 0 && y < ground - margin)
            return true;
    }
    return false;
}

TEST_F(DisplayTest, HillsDarkenTheGroundOnlyWhereTheyHideTheLight)
{
    ASSERT_TRUE(loadTerrains(QUORBLY_DATA_DIR "/terrains"));
    const auto hilly = std::find_if(terrains.begin(), terrains.end(), [](const Terrain& t) {
        return std::strcmp(t.name.data(), "Lava Ridge") == 0;
    });
    ASSERT_NE(hilly, terrains.end());
    terrainCurrent = static_cast<int>(hilly - terrains.begin());
    terrain = &terrains[terrainCurrent];
    std::srand(11);
    std::FILE* quiet = std::tmpfile();
    generateHeightMap(heightmap.data(), *terrain, quiet);
    std::fclose(quiet);
    destroyHeightMap();
    terrainDisplayList = glGenLists(1);
    buildDisplayList(heightmap.data(), groundTexture);
    placePlayer(0, 7.5f, 0.0f, 500.0f, 0.25f);
    lightPos = {15.0f, 9.0f, 25.5f, 1.0f};  // low, for long shadows
    cameraPos = {7.5f, 14.0f, 19.0f};
    cameraRot = -50.0f;

    toggleShadows = 0;
    const Frame plain = frame();
    toggleShadows = 1;
    const Frame shadowed = frame();
    const std::vector<Vec3> world = unprojectFrame();
    save(shadowed, "hills_shadowed.ppm");

    int inShadow = 0, unexplained = 0, missed = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const Vec3 p = world[static_cast<std::size_t>(y) * kW + x];
            if (getRealHeight(heightmap.data(), static_cast<float>(p.x),
                              static_cast<float>(p.z)) < 0)
                continue;  // not the top of the field
            const int d = plain.brightness(x, y) - shadowed.brightness(x, y);
            if (d > 24) {
                ++inShadow;
                unexplained += !lightBlockedByHills(p, -0.08);
            } else if (plain.brightness(x, y) > 150 && lightBlockedByHills(p, 0.15)) {
                ++missed;  // well inside a hill's shadow, yet lit
            }
        }
    EXPECT_GT(inShadow, 2000);
    EXPECT_LE(unexplained, inShadow / 200);
    EXPECT_LE(missed, inShadow / 200);
}

TEST_F(DisplayTest, MultiShadowsSoftensTheShadowEdge)
{
    toggleShadows = 0;
    const Frame plain = frame();
    toggleShadows = 1;
    toggleMultiShadows = 0;
    const Frame hard = frame();
    toggleMultiShadows = 1;
    const Frame soft = frame();
    // Partly darkened pixels: between a tenth and nine tenths of the full shadow.
    auto partial = [&](const Frame &f) {
        int n = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const int d = plain.brightness(x, y) - f.brightness(x, y);
                n += d > 20 && d < 170;
            }
        return n;
    };
    EXPECT_GT(frametest::countDifferent(soft, 0, 0, kW, kH, hard, 6), 50);
    EXPECT_GT(partial(soft), partial(hard));
}

// ---- the light's view ------------------------------------------------------

TEST_F(DisplayTest, LightViewShowsTheSceneFromTheLightWithoutParticles)
{
    for (int i = 0; i < 40; ++i) {
        Particle &p = particles[i];
        p = {};
        p.active = 1;
        p.life = 1.0f;
        p.r = p.g = p.b = 1.0f;
        p.x = 4.0f + 0.2f * i;
        p.y = 2.0f;
        p.z = 10.0f;
    }
    const Frame camera = frame();
    toggleLightView = 1;
    const Frame fromLight = frame();
    initParticles();
    const Frame fromLightNoSparks = frame();
    toggleLightView = 0;
    const Frame cameraNoSparks = frame();
    save(fromLight, "light_view.ppm");

    EXPECT_GT(frametest::countDifferent(camera, 0, 0, kW, kH, cameraNoSparks), 40);
    EXPECT_EQ(frametest::countDifferent(fromLight, 0, 0, kW, kH, fromLightNoSparks, 0), 0);
    EXPECT_GT(frametest::countDifferent(fromLight, 0, 0, kW, kH, camera), kW * kH / 10);

    // The ball sits where the light's projection puts it, stretched over the window.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(70.0, 1.0, 10.0, 100.0);
    GLdouble pr[16], mv[16];
    glGetDoublev(GL_PROJECTION_MATRIX, pr);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    gluLookAt(lightPos[0], lightPos[1], lightPos[2], 7.5, 0, 7.5, 0, 1, 0);
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glPopMatrix();
    const GLint vp[4] = {0, 0, kW, kH};
    Vec3 at{};
    gluProject(7.5, 1.0, 7.5, mv, pr, vp, &at.x, &at.y, &at.z);
    int blue = 0;
    for (int y = static_cast<int>(at.y) - 30; y <= static_cast<int>(at.y) + 30; ++y)
        for (int x = static_cast<int>(at.x) - 30; x <= static_cast<int>(at.x) + 30; ++x) {
            const std::uint8_t *p = fromLight.at(x, y);
            blue += p[2] > p[0] + 60 && p[2] > p[1] + 60;
        }
    EXPECT_GT(blue, 100);
}

TEST_F(DisplayTest, LightViewLeavesTheShadowMapAlone)
{
    auto mapChecksum = [] {
        std::vector<float> depth(2048u * 2048u);
        qglActiveTexture(GL_TEXTURE1);
        glBindTexture(GL_TEXTURE_2D, shadowMapTexture);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
        double sum = 0;
        for (std::size_t i = 0; i < depth.size(); ++i)
            sum += depth[i] * static_cast<double>(i % 977 + 1);
        return sum;
    };
    frame();
    const double before = mapChecksum();
    placePlayer(0, 3.0f, 0.0f, 3.0f, 1.0f);
    toggleLightView = 1;
    frame();
    EXPECT_EQ(mapChecksum(), before);
    toggleLightView = 0;
    frame();
    EXPECT_NE(mapChecksum(), before); // a shadowed frame does write it
}

// ---- fading balls and powerup ---------------------------------------------

class FadeTest : public DisplayTest
{
  protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        toggleShadows = 0; // the ball's own pixels only, no shadow on the ground
    }
    // Pixels player 1 adds to the frame at this place: the frame with it
    // against the frame with it moved far out of sight.
    int playerPixels(float x, float y, float z, int spawning)
    {
        Player &p = players[0];
        p.x = x;
        p.y = y;
        p.z = z;
        p.spawning = spawning;
        const Frame with = frame();
        p.x = p.z = 500.0f;
        const Frame without = frame();
        p.x = x;
        p.z = z;
        return frametest::countDifferent(with, 0, 0, kW, kH, without, 0);
    }
};

TEST_F(FadeTest, FallenBallAtMinusFiveIsHalfVisible)
{
    // Off the field's side, below its base, the camera level with it.
    cameraPos = {25.0f, -4.0f, 11.5f};
    cameraRot = 0.0f;
    const int half = playerPixels(25.0f, -5.0f, 7.5f, 0);
    shadersSupported = 0; // fixed pipeline: no fading at all
    const int full = playerPixels(25.0f, -5.0f, 7.5f, 0);
    shadersSupported = 1;
    ASSERT_GT(full, 2000);
    EXPECT_NEAR(static_cast<double>(half) / full, 0.5, 0.08);
    // Ten units down it is gone.
    cameraPos[1] = -9.0f;
    EXPECT_EQ(playerPixels(25.0f, -10.0f, 7.5f, 0), 0);
}

TEST_F(FadeTest, SpawningBallFadesInAsItDrops)
{
    cameraPos = {7.5f, 4.0f, 11.5f};
    cameraRot = -10.0f;
    const int full = playerPixels(7.5f, 2.5f, 7.5f, 0);
    const int half = playerPixels(7.5f, 2.5f, 7.5f, 1);
    const int landed = playerPixels(7.5f, 0.0f, 7.5f, 1);
    const int resting = playerPixels(7.5f, 0.0f, 7.5f, 0);
    ASSERT_GT(full, 2000);
    EXPECT_NEAR(static_cast<double>(half) / full, 0.5, 0.08);
    EXPECT_EQ(landed, resting);
    // Five units up it is not there at all.
    cameraPos[1] = 6.5f;
    EXPECT_EQ(playerPixels(7.5f, 5.0f, 7.5f, 1), 0);
}

TEST_F(FadeTest, FallingPowerupFadesIn)
{
    placePlayer(0, 60.0f, 0.0f, 60.0f, 0.25f);
    cameraPos = {7.5f, 4.0f, 11.5f};
    cameraRot = -10.0f;
    rgb = {1.0f, 0.2f, 0.2f};
    auto pixels = [&](float y) {
        powerup.active = 1;
        powerup.x = 7.5f;
        powerup.y = y;
        powerup.z = 7.5f;
        const Frame with = frame();
        powerup.active = 0;
        const Frame without = frame();
        return frametest::countDifferent(with, 0, 0, kW, kH, without, 0);
    };
    const int landed = pixels(0.0f);
    const int half = pixels(2.5f);
    shadersSupported = 0;
    const int unfaded = pixels(2.5f);
    shadersSupported = 1;
    ASSERT_GT(landed, 150);
    EXPECT_NEAR(static_cast<double>(half) / unfaded, 0.5, 0.08);
    cameraPos[1] = 6.5f;
    EXPECT_EQ(pixels(5.0f), 0);
}

// ---- particles and the end of a match --------------------------------------

TEST_F(DisplayTest, SparksAreSmallPointsInPlayAndBigOnceTheMatchIsDecided)
{
    // Looking level, high above the field: only the sparks in view.
    cameraPos = {7.5f, 30.0f, 7.5f};
    cameraRot = 0.0f;
    Particle &p = particles[0];
    p = {};
    p.active = 1;
    p.life = 1.0f;
    p.r = 1.0f;
    p.g = 0.8f;
    p.b = 0.3f;
    p.x = 7.5f;
    p.y = 30.0f;
    p.z = 2.5f;
    auto lit = [](const Frame &f) {
        int n = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                n += f.brightness(x, y) > 0;
        return n;
    };
    toggleShadows = 0;
    const int plainSmall = lit(frame());
    toggleShadows = 1;
    const int small = lit(frame());
    // Decided: the view pivots on the winner; at the origin it is the same view.
    endGame = 1;
    winner = 0;
    placePlayer(0, 0.0f, 0.0f, 0.0f, 0.25f);
    const int big = lit(frame());
    EXPECT_GT(small, 0);
    EXPECT_LE(small, 9);
    EXPECT_EQ(plainSmall, small);
    EXPECT_GE(big, 15);
    EXPECT_LE(big, 40);

    // A dead spark is not drawn.
    endGame = 0;
    p.active = 0;
    EXPECT_EQ(lit(frame()), 0);
}

TEST_F(DisplayTest, DecidedMatchTurnsTheSceneAboutTheWinner)
{
    endGame = 1;
    winner = 0;
    placePlayer(0, 9.0f, 0.0f, 6.0f, 1.0f);
    cameraPos = {0.0f, 4.0f, 6.0f};
    cameraRot = -30.0f;
    auto blueCentre = [](const Frame &f, int &count) {
        double sx = 0, sy = 0;
        count = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const std::uint8_t *p = f.at(x, y);
                if (p[2] > p[0] + 60 && p[2] > p[1] + 60) {
                    sx += x;
                    sy += y;
                    ++count;
                }
            }
        return std::array<double, 2>{sx / std::max(count, 1), sy / std::max(count, 1)};
    };
    sceneRot = 0.0f;
    const Frame a = frame();
    sceneRot = 90.0f;
    const Frame b = frame();
    save(b, "winner_turned.ppm");
    int na = 0, nb = 0;
    const auto ca = blueCentre(a, na);
    const auto cb = blueCentre(b, nb);
    ASSERT_GT(na, 300);
    ASSERT_GT(nb, 300);
    EXPECT_NEAR(ca[0], cb[0], 4.0);
    EXPECT_NEAR(ca[1], cb[1], 4.0);
    EXPECT_NEAR(ca[0], kW / 2.0, 6.0); // the winner at the pivot, mid-screen
    EXPECT_GT(frametest::countDifferent(a, 0, 0, kW, kH, b), kW * kH / 20);
}

// ---- what a frame leaves behind ---------------------------------------------

TEST_F(DisplayTest, FrameRestoresTheWindowState)
{
    GLdouble projectionBefore[16], projectionAfter[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projectionBefore);
    programBall = 0; // uniforms set with no program raise errors
    // Plain, shadowed, and the light's view.
    for (const auto &[shadows, lightView] : {std::pair{0, 0}, {1, 0}, {1, 1}}) {
        SCOPED_TRACE(testing::Message() << shadows << lightView);
        toggleShadows = shadows;
        toggleLightView = lightView;
        glMatrixMode(GL_PROJECTION); // the frame selects the modelview itself
        display(nullptr);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

        GLint mode = 0, viewport[4] = {}, fbo = -1, program = -1;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);
        glGetDoublev(GL_PROJECTION_MATRIX, projectionAfter);
        EXPECT_EQ(std::memcmp(projectionBefore, projectionAfter, sizeof projectionBefore), 0);
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[2], kW);
        EXPECT_EQ(viewport[3], kH);
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &fbo);
        EXPECT_EQ(fbo, 0);
        GLboolean mask[4] = {};
        glGetBooleanv(GL_COLOR_WRITEMASK, mask);
        EXPECT_TRUE(mask[0] && mask[1] && mask[2] && mask[3]);
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        EXPECT_EQ(program, 0);
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
        GLfloat clear[4] = {};
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        EXPECT_EQ(clear[3], shadows ? 1.0f : 0.0f); // left by the light pass
        GLint attribDepth = -1;
        glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &attribDepth);
        EXPECT_EQ(attribDepth, 0);
    }
    // After the camera pass unit 1 is active, with no texturing or generation.
    toggleShadows = 1;
    toggleLightView = 0;
    display(nullptr);
    GLint unit = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    EXPECT_EQ(unit, GL_TEXTURE1);
    for (GLenum cap :
         {GL_TEXTURE_2D, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q})
        EXPECT_FALSE(glIsEnabled(cap)) << cap;
}

TEST_F(DisplayTest, WithoutShadersNoProgramIsEverUsed)
{
    shadersSupported = 0;
    toggleShadows = 0;
    players[0].powerupStage = 0.5f;
    const Frame fixed = frame();
    GLint program = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    EXPECT_EQ(program, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    // No highlight on the blue cage without its program; the program adds one.
    auto reddest = [](const Frame &f) {
        int best = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const std::uint8_t *p = f.at(x, y);
                if (p[2] > p[1] + 30)
                    best = std::max(best, static_cast<int>(p[0]));
            }
        return best;
    };
    shadersSupported = 1;
    const Frame shaded = frame();
    EXPECT_GT(reddest(shaded), reddest(fixed) + 40);
}

} // namespace
