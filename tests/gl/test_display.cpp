// The frame: plain and shadowed passes, the light's view, fading balls and
// the state a frame leaves behind, read back from a real context.

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "core/entry.h"
#include "core/match.h"
#include "core/state.h"
#include "gl/frame_util.h"
#include "gl/gl_context.h"
#include "render/display.h"
#include "render/glext_gl.h"
#include "render/model.h"
#include "render/shader.h"
#include "sim/particle.h"
#include "terrain/heightmap.h"
#include "terrain/mesh_gl.h"
#include "terrain/terrain.h"

namespace
{

using frametest::countDifferent;
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
        frametest::ChangeDir cd(QUORBLY_DATA_DIR);
        built[0] = compile_program("ball.vert", "ball.frag");
        built[1] = compile_program("terrain.vert", "terrain.frag");
        built[2] = compile_program("powerup.vert", "powerup.frag");
        initModel();
        initPower();
        // The shadow map as the game's setup makes it; unit 1 textures
        // nothing outside the shadowed pass.
        glGenTextures(1, &mapTexture);
        qglGenFramebuffersEXT(1, &mapFBO);
        qglActiveTexture(GL_TEXTURE1);
        glBindTexture(GL_TEXTURE_2D, mapTexture);
        for (GLenum p : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T})
            glTexParameteri(GL_TEXTURE_2D, p, GL_CLAMP);
        for (GLenum p : {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER})
            glTexParameteri(GL_TEXTURE_2D, p, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, 2048, 2048, 0, GL_DEPTH_COMPONENT,
                     GL_UNSIGNED_BYTE, nullptr);
        // A plain light ground texture, mipmapped as the terrain list wants.
        qglActiveTexture(GL_TEXTURE0);
        glGenTextures(1, &groundTexture);
        glBindTexture(GL_TEXTURE_2D, groundTexture);
        std::vector<std::uint8_t> texels(256 * 256 * 3, 235);
        gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, 256, 256, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    }

    void SetUp() override
    {
        ASSERT_TRUE(frametest::openWindow(kW, kH)) << "no display (run under xvfb-run)";
        prepare();
        ASSERT_TRUE(built[0] && built[1] && built[2]);
        resetGameState();
        programBall = built[0];
        programTerrain = built[1];
        programPowerup = built[2];
        shadowMapTexture = mapTexture;
        shadowMapFBO = mapFBO;
        shadersSupported = 1;
        shadowsDisabled = 0;
        toggleShadows = 1;
        toggleHUD = 0;
        // The fixed state of the game's setup and the window's projection.
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glClearColor(0, 0, 0, 0);
        glEnable(GL_DEPTH_TEST);
        glShadeModel(GL_SMOOTH);
        reshape(kW, kH);

        // A level field at height 0.
        Terrain t{};
        t.gravity = 9.81f;
        t.diffuse = {0.6f, 0.7f, 0.5f, 1.0f};
        t.ambient = {0.3f, 0.35f, 0.25f, 1.0f};
        terrains = {t};
        terrainCurrent = 0;
        terrain = &terrains[0];
        heightmap.fill(0);
        terrainDisplayList = glGenLists(1);
        buildDisplayList(heightmap.data(), groundTexture);

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

    // Window position of a world point (camera view, outside the end of a match).
    Vec3 project(Vec3 p)
    {
        GLdouble mv[16], pr[16];
        GLint vp[4];
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glRotatef(360.0f - cameraRot, 1, 0, 0);
        glTranslatef(-cameraPos[0], -cameraPos[1], -cameraPos[2]);
        glGetDoublev(GL_MODELVIEW_MATRIX, mv);
        glPopMatrix();
        glGetDoublev(GL_PROJECTION_MATRIX, pr);
        glGetIntegerv(GL_VIEWPORT, vp);
        Vec3 out{};
        gluProject(p.x, p.y, p.z, mv, pr, vp, &out.x, &out.y, &out.z);
        return out;
    }

    static inline bool prepared = false;
    static inline GLuint built[3] = {};
    static inline GLuint mapTexture = 0, mapFBO = 0, groundTexture = 0;
};

// Share of pixels in a 15x15 window around a window position darker in the
// shadowed frame than in the plain one.
double darkenedShare(const Frame &plain, const Frame &shadowed, Vec3 at)
{
    int dark = 0;
    for (int y = static_cast<int>(at.y) - 7; y <= static_cast<int>(at.y) + 7; ++y)
        for (int x = static_cast<int>(at.x) - 7; x <= static_cast<int>(at.x) + 7; ++x)
            dark += plain.brightness(x, y) - shadowed.brightness(x, y) > 24;
    return dark / 225.0;
}

TEST_F(DisplayTest, ShadowDarkensTheGroundBehindTheBallAwayFromTheLight)
{
    struct Case {
        const char *what;
        std::array<float, 4> light;
        float cameraY, cameraZ;
        bool terrainProgram;
    };
    const Case cases[] = {
        {"game light", lightPos, 10, 20, true},
        {"light moved to the other side", {0.0f, 13.0f, 0.0f, 1.0f}, 12, 22, true},
        // The fixed pipeline's depth comparison on unit 1 does the work.
        {"no terrain program", lightPos, 10, 20, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        lightPos = c.light;
        cameraPos = {7.5f, c.cameraY, c.cameraZ};
        toggleShadows = 0;
        const Frame plain = frame();
        toggleShadows = 1;
        programTerrain = c.terrainProgram ? built[1] : 0;
        const Frame shadowed = frame();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        save(shadowed, "shadow_on.ppm");
        int darker = 0, lighter = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const int d = plain.brightness(x, y) - shadowed.brightness(x, y);
                darker += d > 24;
                lighter += d < -6;
            }
        EXPECT_GT(darker, 300);
        EXPECT_EQ(lighter, 0);
        // Where the light's ray through the ball's centre meets the ground the
        // shadow falls; just outside the ball toward the light, none.
        const Vec3 light{lightPos[0], lightPos[1], lightPos[2]}, centre{7.5, 1.0, 7.5};
        const double t = light.y / (light.y - centre.y);
        const Vec3 behind{light.x + t * (centre.x - light.x), 0.0,
                          light.z + t * (centre.z - light.z)};
        const double dx = light.x - centre.x, dz = light.z - centre.z, len = std::hypot(dx, dz);
        const Vec3 litSide{centre.x + 1.5 * dx / len, 0.0, centre.z + 1.5 * dz / len};
        EXPECT_GT(darkenedShare(plain, shadowed, project(behind)), 0.15);
        EXPECT_EQ(darkenedShare(plain, shadowed, project(litSide)), 0.0);
    }
}

TEST_F(DisplayTest, LightViewShowsTheSceneFromTheLightWithoutParticles)
{
    // Sparks beyond the far edge, with nothing behind them from the camera
    // or from the light: drawn in either view, they would show.
    for (int i = 0; i < 40; ++i) {
        Particle &p = particles[i];
        p = {};
        p.active = 1;
        p.life = 1.0f;
        p.r = p.g = p.b = 1.0f;
        p.x = -2.0f + 0.1f * i;
        p.y = 5.0f;
        p.z = -5.0f;
    }
    const Frame camera = frame();
    toggleLightView = 1;
    const Frame fromLight = frame();
    initParticles();
    const Frame fromLightNoSparks = frame();
    toggleLightView = 0;
    const Frame cameraNoSparks = frame();
    save(fromLight, "light_view.ppm");
    EXPECT_GT(countDifferent(camera, 0, 0, kW, kH, cameraNoSparks), 40);
    EXPECT_EQ(countDifferent(fromLight, 0, 0, kW, kH, fromLightNoSparks, 0), 0);
    EXPECT_GT(countDifferent(fromLight, 0, 0, kW, kH, camera), kW * kH / 10);

    // The blue ball sits where the light's projection, stretched over the window, puts it.
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(70.0, 1.0, 10.0, 100.0);
    gluLookAt(lightPos[0], lightPos[1], lightPos[2], 7.5, 0, 7.5, 0, 1, 0);
    GLdouble mv[16];
    const GLdouble id[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glPopMatrix();
    const GLint vp[4] = {0, 0, kW, kH};
    Vec3 at{};
    gluProject(7.5, 1.0, 7.5, mv, id, vp, &at.x, &at.y, &at.z);
    int blue = 0;
    for (int y = static_cast<int>(at.y) - 30; y <= static_cast<int>(at.y) + 30; ++y)
        for (int x = static_cast<int>(at.x) - 30; x <= static_cast<int>(at.x) + 30; ++x) {
            const std::uint8_t *p = fromLight.at(x, y);
            blue += p[2] > p[0] + 60 && p[2] > p[1] + 60;
        }
    EXPECT_GT(blue, 100);
}

// Pixels player 1 adds to the frame at this place: the frame with it against
// the frame with it moved far out of sight (no shadows: its own pixels only).
class FadeTest : public DisplayTest
{
  protected:
    int playerPixels(float x, float y, float z, int spawning)
    {
        toggleShadows = 0;
        Player &p = players[0];
        p.y = y;
        p.spawning = spawning;
        p.x = p.z = 500.0f;
        const Frame without = frame();
        p.x = x;
        p.z = z;
        return countDifferent(frame(), 0, 0, kW, kH, without, 0);
    }
};

TEST_F(FadeTest, FallenBallAtMinusFiveIsHalfVisibleAndGoneAtMinusTen)
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
    cameraPos[1] = -9.0f;
    EXPECT_EQ(playerPixels(25.0f, -10.0f, 7.5f, 0), 0);
}

TEST_F(FadeTest, SpawningBallAndFallingPowerupFadeInAsTheyDrop)
{
    cameraPos = {7.5f, 4.0f, 11.5f};
    cameraRot = -10.0f;
    const int full = playerPixels(7.5f, 2.5f, 7.5f, 0);
    ASSERT_GT(full, 2000);
    EXPECT_NEAR(static_cast<double>(playerPixels(7.5f, 2.5f, 7.5f, 1)) / full, 0.5, 0.08);
    EXPECT_EQ(playerPixels(7.5f, 0.0f, 7.5f, 1), playerPixels(7.5f, 0.0f, 7.5f, 0));

    placePlayer(0, 60.0f, 0.0f, 60.0f, 0.25f);
    rgb = {1.0f, 0.2f, 0.2f};
    auto powerupPixels = [&](float y) {
        powerup = {};
        powerup.x = powerup.z = 7.5f;
        powerup.y = y;
        const Frame without = frame();
        powerup.active = 1;
        return countDifferent(frame(), 0, 0, kW, kH, without, 0);
    };
    const int half = powerupPixels(2.5f);
    shadersSupported = 0;
    const int unfaded = powerupPixels(2.5f);
    shadersSupported = 1;
    ASSERT_GT(unfaded, 150);
    EXPECT_NEAR(static_cast<double>(half) / unfaded, 0.5, 0.08);
    // Five units up neither is there at all.
    cameraPos[1] = 6.5f;
    EXPECT_EQ(powerupPixels(5.0f), 0);
    EXPECT_EQ(playerPixels(7.5f, 5.0f, 7.5f, 1), 0);
}

TEST_F(DisplayTest, FrameRestoresTheWindowStateAndUsesNoProgramWithoutShaders)
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
        for (const auto &[what, want] : {std::pair<GLenum, GLint>{GL_MATRIX_MODE, GL_MODELVIEW},
                                         {GL_FRAMEBUFFER_BINDING_EXT, 0},
                                         {GL_CURRENT_PROGRAM, 0},
                                         {GL_ATTRIB_STACK_DEPTH, 0}}) {
            GLint got = -1;
            glGetIntegerv(what, &got);
            EXPECT_EQ(got, want) << what;
        }
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[2] * viewport[3], kW * kH);
        glGetDoublev(GL_PROJECTION_MATRIX, projectionAfter);
        EXPECT_EQ(std::memcmp(projectionBefore, projectionAfter, sizeof projectionBefore), 0);
        GLboolean mask[4] = {};
        glGetBooleanv(GL_COLOR_WRITEMASK, mask);
        EXPECT_TRUE(mask[0] && mask[1] && mask[2] && mask[3]);
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
    }
    // After the camera pass unit 1 is active, with no texturing or generation.
    toggleLightView = 0;
    display(nullptr);
    GLint unit = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    EXPECT_EQ(unit, GL_TEXTURE1);
    for (GLenum cap :
         {GL_TEXTURE_2D, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q})
        EXPECT_FALSE(glIsEnabled(cap)) << cap;

    // Without shaders no program is ever used: no highlight on the blue cage,
    // which its program adds.
    programBall = built[0];
    toggleShadows = 0;
    players[0].powerupStage = 0.5f;
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
    const int shaded = reddest(frame());
    shadersSupported = 0;
    const int fixed = reddest(frame());
    GLint program = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    EXPECT_EQ(program, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_GT(shaded, fixed + 40);
}

} // namespace
