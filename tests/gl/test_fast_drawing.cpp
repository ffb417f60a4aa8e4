// The figures drawn from display lists and the sparks drawn in one batch
// give the very frames that the plain forms give: the game set up by its own
// init() on the shipped data, a match in full swing, read back and compared
// pixel for pixel.

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>

#include "core/entry.h"
#include "core/game.h"
#include "core/state.h"
#include "gl/frame_util.h"
#include "gl/gl_context.h"
#include "render/display.h"
#include "render/figures.h"
#include "render/hud.h"
#include "render/model.h"
#include "render/particles_gl.h"
#include "sim/particle.h"
#include "sim/powerup.h"
#include "terrain/heightmap.h"

namespace
{

using frametest::ChangeDir;
using frametest::Frame;
using frametest::save;

constexpr int kW = 800;
constexpr int kH = 600;

int differentPixels(const Frame &a, const Frame &b)
{
    int n = 0;
    for (std::size_t i = 0; i < a.data.size(); i += 4)
        n += a.data[i] != b.data[i] || a.data[i + 1] != b.data[i + 1] ||
             a.data[i + 2] != b.data[i + 2] || a.data[i + 3] != b.data[i + 3];
    return n;
}

class FastDrawing : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        if (!frametest::openWindow(kW, kH))
            return;
        int argc = 1;
        char name[] = "gl_test_fast_drawing";
        char *argv[] = {name, nullptr};
        glutInit(&argc, argv);
        ChangeDir cd(QUORBLY_DATA_DIR);
        std::srand(5);
        init();
        ready = true;
    }

    static void TearDownTestSuite()
    {
        if (ready)
            cleanup();
        ready = false;
    }

    void SetUp() override
    {
        ASSERT_TRUE(ready) << "no display (run under xvfb-run)";
        ASSERT_NE(modelList(head.get()), 0u) << "init() left the figures unprepared";
        reshape(kW, kH);
        toggleShadows = shadowsDisabled == 0 ? 1 : 0;
        toggleLightView = 0;
        toggleHUD = 1;
        endGame = 0;
        stageMatch();
    }

    // Both balls on the ground in front of the camera, one of them boosted, a
    // powerup between them and a bomb's worth of sparks flying about.
    static void stageMatch()
    {
        const auto ground = [](float x, float z) { return getRealHeight(heightmap.data(), x, z); };
        const std::array<std::array<float, 2>, 2> spots{{{6.8f, 8.0f}, {8.6f, 7.6f}}};
        for (std::size_t i = 0; i < 2; ++i) {
            Player &p = players[i];
            p.x = spots[i][0];
            p.z = spots[i][1];
            p.y = ground(p.x, p.z);
            p.radius = p.radiusDefault;
            p.grounded = 1;
            p.spawning = 0;
            p.rot = 40.0f + 30.0f * static_cast<float>(i);
            p.rotY = 20.0f;
            p.rotHY = 110.0f;
            p.powerupStage = i == 1 ? 0.6f : 0.0f;
        }
        spawnPowerup(&powerup, 7.6f, ground(7.6f, 9.0f), 9.0f);
        rgb = {0.2f, 0.9f, 0.4f};
        rate = 1234.0f;
        cameraPos = {7.5f, 4.5f, 12.5f};
        cameraRot = -25.0f;
        std::srand(9);
        initParticles();
        createExplosion(7.6f, ground(7.6f, 8.2f) + 0.4f, 8.2f, 1.0f, 5.0f, 0.9f, 0.9f, 0.5f, 0.9f,
                        0.7f, 0.0f);
        for (int frame = 0; frame < 15; ++frame)
            updateParticles(heightmap.data(), terrain->gravity, 1.0f / 60.0f);
    }

    // What the game draws.
    static Frame gameFrame()
    {
        display(nullptr);
        return Frame::read(kW, kH);
    }

    // The same frame from the plain forms: every model one triangle at a
    // time, every spark in its own begin/end pair, then the HUD, in the
    // order display() keeps.
    static Frame plainFrame()
    {
        releaseFigures();
        const std::array<Particle, kParticleCount> sparks = particles;
        for (Particle &p : particles)
            p.active = 0;
        const int hud = toggleHUD;
        toggleHUD = 0;
        display(nullptr);
        particles = sparks;
        toggleHUD = hud;
        if (toggleLightView == 0)
            drawParticlesOneByOne(endGame == 1 ? 5 : 2);
        if (toggleHUD == 1)
            drawHUD();
        glGetError();
        const Frame f = Frame::read(kW, kH);
        prepareFigures();
        return f;
    }

    // Compares the two, with a frame drawn first so that both start from
    // the state a frame leaves behind (the clear colour, the active unit).
    static void expectSameFrame(const char *name)
    {
        gameFrame();
        const Frame fast = gameFrame();
        const Frame plain = plainFrame();
        const Frame again = gameFrame();
        save(fast, name);
        EXPECT_EQ(differentPixels(fast, plain), 0) << name;
        EXPECT_EQ(differentPixels(fast, again), 0) << name;
    }

    static inline bool ready = false;
};

TEST_F(FastDrawing, TheSceneHoldsTheFiguresAndTheSparks)
{
    // Otherwise the comparisons below would prove nothing.
    const Frame full = gameFrame();
    const std::array<Particle, kParticleCount> sparks = particles;
    initParticles();
    const Frame noSparks = gameFrame();
    particles = sparks;
    powerup.active = 0;
    for (Player &p : players)
        p.x += 100.0f;
    const Frame bare = gameFrame();
    EXPECT_GT(differentPixels(full, noSparks), 1000);
    EXPECT_GT(differentPixels(noSparks, bare), 1000);
}

TEST_F(FastDrawing, ShadowedFrameIsPixelForPixelThePlainOne)
{
    ASSERT_EQ(toggleShadows, 1) << "this renderer offers no shadow mapping";
    expectSameFrame("fast_shadowed.ppm");
}

TEST_F(FastDrawing, UnshadowedFrameIsPixelForPixelThePlainOne)
{
    toggleShadows = 0;
    expectSameFrame("fast_unshadowed.ppm");
}

TEST_F(FastDrawing, EndOfMatchFrameWithBigSparksIsPixelForPixelThePlainOne)
{
    endGame = 1;
    winner = 1;
    sceneRot = 35.0f;
    cameraPos = {0.0f, 2.0f, 4.0f};
    expectSameFrame("fast_end_of_match.ppm");
}

TEST_F(FastDrawing, LightViewIsPixelForPixelThePlainOne)
{
    toggleLightView = 1;
    expectSameFrame("fast_light_view.ppm");
}

TEST_F(FastDrawing, AModelChangedAfterCompilingIsDrawnFromItsTriangles)
{
    // Half the cage gone: its old list would still show the whole of it.
    std::vector<ObjTriangle> &triangles = ball->TriangleArray;
    const std::vector<ObjTriangle> whole = triangles;
    const unsigned int before = modelList(ball.get());
    ASSERT_NE(before, 0u);
    triangles.resize(triangles.size() / 2);
    ball->NumTriangle = static_cast<int>(triangles.size());
    EXPECT_EQ(modelList(ball.get()), 0u);
    const Frame halved = gameFrame();
    const Frame plain = plainFrame();
    EXPECT_EQ(differentPixels(halved, plain), 0);

    triangles = whole;
    ball->NumTriangle = static_cast<int>(triangles.size());
    prepareFigures();
    EXPECT_NE(modelList(ball.get()), 0u);
    EXPECT_GT(differentPixels(halved, gameFrame()), 100);
}

TEST_F(FastDrawing, ReleasedFiguresAreDrawnOneTriangleAtATime)
{
    const std::array<const ObjModel *, 6> models{head.get(),  body.get(), ffoot.get(),
                                                 bfoot.get(), ball.get(), item.get()};
    std::array<unsigned int, 6> lists{};
    for (std::size_t k = 0; k < models.size(); ++k) {
        lists[k] = modelList(models[k]);
        ASSERT_NE(lists[k], 0u);
        EXPECT_EQ(glIsList(lists[k]), GL_TRUE);
    }
    releaseFigures();
    for (std::size_t k = 0; k < models.size(); ++k) {
        EXPECT_EQ(modelList(models[k]), 0u);
        EXPECT_EQ(glIsList(lists[k]), GL_FALSE);
    }
    EXPECT_EQ(modelList(nullptr), 0u);
    prepareFigures();
}

} // namespace
