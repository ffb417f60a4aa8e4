// SPDX-License-Identifier: GPL-3.0-or-later
// The frame read back from a real context: the game's programs, shadows, the
// light's view, fading figures, and the display lists and batched sparks
// against the plain forms.

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>

#include "core/random.h"
#include "gl/gl_context.h"

namespace
{

using namespace gltest;

std::map<std::string, GLenum> uniforms(GLuint program)
{
    std::map<std::string, GLenum> out;
    GLint count = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
        char name[128];
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, i, sizeof name, nullptr, &size, &type, name);
        if (std::strncmp(name, "gl_", 3) != 0)
            out[name] = type;
    }
    return out;
}

int liveShaders()
{
    int n = 0;
    for (GLuint name = 1; name < 2048; ++name)
        n += glIsShader(name) == GL_TRUE;
    return n;
}

TEST_F(Game, ProgramsBuildSilentlyAndEveryFailureIsReported)
{
    using U = std::map<std::string, GLenum>;
    EXPECT_EQ(uniforms(programBall), (U{{"visibility", GL_FLOAT}, {"wobblePhase", GL_FLOAT}}));
    EXPECT_EQ(uniforms(programTerrain), (U{{"multiShadows", GL_INT},
                                           {"ShadowMap", GL_SAMPLER_2D_SHADOW},
                                           {"Texture", GL_SAMPLER_2D}}));
    EXPECT_EQ(uniforms(programPowerup), (U{{"visibility", GL_FLOAT}}));
    EXPECT_EQ(initErrors(), "");
    // Each failure prints its line and the driver's log, and leaks no shader.
    const std::string dir = ::testing::TempDir() + "quorbly_gl_", v = dir + "v.vert",
                      f = dir + "f.frag", none = dir + "none.frag";
    const char *plain = "void main() { gl_Position = ftransform(); }\n";
    const struct {
        const char *vert, *frag;
        std::string head;
    } cases[] = {
        {plain, nullptr, none + " could not be stat\n"},
        {"void main() { gl_Position = ftransform() +; }\n", "", "Compile " + v + " failed:\n"},
        {"varying vec3 c;\nvoid main() { c = vec3(1.0); gl_Position = ftransform(); }\n",
         "varying vec4 c;\nvoid main() { gl_FragColor = c; }\n",
         "Link " + v + " and " + f + " failed:\n"},
    };
    for (const auto &c : cases) {
        std::ofstream(v) << c.vert;
        std::ofstream(f) << (c.frag ? c.frag : "");
        const int before = liveShaders();
        unsigned int program = 1;
        const std::string text = stderrOf(
            [&] { program = compile_program(v.c_str(), c.frag ? f.c_str() : none.c_str()); });
        EXPECT_EQ(program, 0u) << c.head;
        EXPECT_EQ(text.rfind(c.head, 0), 0u) << text;
        EXPECT_TRUE(c.frag ? text.size() > c.head.size() + 1 : text == c.head) << text;
        EXPECT_EQ(liveShaders(), before) << c.head;
    }
}

// Window position of a world point under the camera as the frame sets it,
// or under the light's view stretched over the window.
std::array<double, 3> project(double x, double y, double z, bool fromLight = false)
{
    GLdouble mv[16], pr[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const GLint vp[4] = {0, 0, kW, kH};
    glPushMatrix();
    glLoadIdentity();
    if (fromLight) {
        gluPerspective(70.0, 1.0, 10.0, 100.0);
        gluLookAt(lightPos[0], lightPos[1], lightPos[2], 7.5, 0, 7.5, 0, 1, 0);
    } else {
        glRotatef(360.0f - cameraRot, 1, 0, 0);
        glTranslatef(-cameraPos[0], -cameraPos[1], -cameraPos[2]);
        glGetDoublev(GL_PROJECTION_MATRIX, pr);
    }
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glPopMatrix();
    std::array<double, 3> out{};
    gluProject(x, y, z, mv, pr, vp, &out[0], &out[1], &out[2]);
    return out;
}

// Player 1 with radius r on the flat field at (x, y, z), player 2 far off.
void place(float x, float y, float z, float r = 1.0f)
{
    players[0].x = x, players[0].y = y, players[0].z = z;
    players[0].radius = r;
    players[1].z = 500.0f;
    for (Player &p : players)
        p.spawning = 0;
}

TEST_F(Game, ShadowFallsOnTheGroundBehindTheBallFromTheLight)
{
    flatField();
    place(7.5f, 0.0f, 7.5f);
    cameraPos = {7.5f, 10.0f, 20.0f};
    cameraRot = -39.0f;
    toggleHUD = 0;
    // The fixed pipeline's depth comparison on unit 1 works without the program.
    for (const auto &[light, program] : {std::pair{lightPos, programTerrain},
                                         {std::array{0.0f, 13.0f, 0.0f, 1.0f}, programTerrain},
                                         {lightPos, 0u}}) {
        SCOPED_TRACE(light[0] + program);
        lightPos = light;
        programTerrain = program;
        toggleShadows = 0;
        const Frame plain = frame();
        toggleShadows = 1;
        const Frame shadowed = frame();
        EXPECT_GT(differing(plain, shadowed, 24), 300);
        // Share of a 15x15 patch around a ground point darkened by the shadow.
        const auto darkened = [&](double gx, double gz) {
            const auto at = project(gx, 0, gz);
            int n = 0;
            for (int y = int(at[1]) - 7; y <= int(at[1]) + 7; ++y)
                for (int x = int(at[0]) - 7; x <= int(at[0]) + 7; ++x)
                    n += plain.brightness(x, y) - shadowed.brightness(x, y) > 24;
            return n / 225.0;
        };
        // Where the light's ray through the ball's centre meets the ground,
        // and just outside the ball towards the light.
        const double t = light[1] / (light[1] - 1.0), dx = light[0] - 7.5, dz = light[2] - 7.5;
        EXPECT_GT(darkened(light[0] - t * dx, light[2] - t * dz), 0.15);
        const double len = std::hypot(dx, dz);
        EXPECT_EQ(darkened(7.5 + 1.5 * dx / len, 7.5 + 1.5 * dz / len), 0.0);
    }
}

TEST_F(Game, LightViewShowsTheSceneFromTheLightWithoutSparks)
{
    flatField();
    place(7.5f, 0.0f, 7.5f);
    toggleHUD = 0;
    // Sparks beyond the far edge: drawn in either view, they would show.
    for (int i = 0; i < 40; ++i)
        particles[i] = {1, 1.0f, 0, 1, 1, 1, -2.0f + 0.1f * i, 5.0f, -5.0f, {}};
    const Frame camera = frame();
    toggleLightView = 1;
    const Frame fromLight = frame();
    initParticles();
    EXPECT_EQ(differing(fromLight, frame()), 0);
    toggleLightView = 0;
    EXPECT_GT(differing(camera, frame()), 40);
    // The blue ball lies where the light's projection puts it.
    const auto at = project(7.5, 1.0, 7.5, true);
    int blue = 0;
    for (int y = int(at[1]) - 30; y <= int(at[1]) + 30; ++y)
        for (int x = int(at[0]) - 30; x <= int(at[0]) + 30; ++x)
            blue +=
                fromLight.at(x, y)[2] > std::max(fromLight.at(x, y)[0], fromLight.at(x, y)[1]) + 60;
    EXPECT_GT(blue, 100);
}

TEST_F(Game, FiguresFadeBelowTheFieldAndWhileTheyDrop)
{
    flatField();
    toggleShadows = toggleHUD = 0;
    // Pixels the figure adds at its place, against the frame without it.
    const auto pixels = [](auto set) {
        place(500, 0, 500);
        powerup.active = 0;
        const Frame without = frame();
        set();
        return differing(frame(), without);
    };
    const auto ball = [&](float x, float y, int spawning) {
        return pixels([=] { place(x, y, 7.5f), players[0].spawning = spawning; });
    };
    const auto item = [&](float y) {
        return pixels([=] { spawnPowerup(&powerup, 7.5f, y, 7.5f); });
    };
    // Off the side, below the base, the camera level: half seen at -5, gone at -10.
    cameraPos = {25.0f, -4.0f, 11.5f};
    cameraRot = 0.0f;
    const int half = ball(25, -5, 0);
    shadersSupported = 0; // the fixed pipeline fades nothing
    const int full = ball(25, -5, 0);
    shadersSupported = 1;
    ASSERT_GT(full, 2000);
    EXPECT_NEAR(double(half) / full, 0.5, 0.08);
    cameraPos[1] = -9.0f;
    EXPECT_EQ(ball(25, -10, 0), 0);
    // A dropping ball and powerup: half seen 2.5 above the ground, gone at 5.
    cameraPos = {7.5f, 4.0f, 11.5f};
    cameraRot = -10.0f;
    EXPECT_NEAR(double(ball(7.5f, 2.5f, 1)) / ball(7.5f, 2.5f, 0), 0.5, 0.08);
    EXPECT_EQ(ball(7.5f, 0, 1), ball(7.5f, 0, 0));
    const int itemHalf = item(2.5f);
    shadersSupported = 0;
    const int itemFull = item(2.5f);
    shadersSupported = 1;
    ASSERT_GT(itemFull, 150);
    EXPECT_NEAR(double(itemHalf) / itemFull, 0.5, 0.08);
    cameraPos[1] = 6.5f;
    EXPECT_EQ(item(5.0f), 0);
    EXPECT_EQ(ball(7.5f, 5.0f, 1), 0);
}

TEST_F(Game, FrameLeavesTheStateAsItFoundIt)
{
    GLdouble before[16], after[16];
    glGetDoublev(GL_PROJECTION_MATRIX, before);
    for (const auto &[shadows, lightView] : {std::pair{0, 0}, {1, 0}, {1, 1}}) {
        SCOPED_TRACE(shadows * 10 + lightView);
        toggleShadows = shadows;
        toggleLightView = lightView;
        glMatrixMode(GL_PROJECTION); // the frame picks the modelview itself
        display(nullptr);
        for (const auto &[what, want] : {std::pair<GLenum, GLint>{GL_MATRIX_MODE, GL_MODELVIEW},
                                         {GL_FRAMEBUFFER_BINDING_EXT, gltest::windowFramebuffer()},
                                         {GL_CURRENT_PROGRAM, 0},
                                         {GL_ATTRIB_STACK_DEPTH, 0}}) {
            GLint got = -1;
            glGetIntegerv(what, &got);
            EXPECT_EQ(got, want) << what;
        }
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[2], kW);
        EXPECT_EQ(viewport[3], kH);
        glGetDoublev(GL_PROJECTION_MATRIX, after);
        EXPECT_EQ(std::memcmp(before, after, sizeof before), 0);
        GLboolean mask[4] = {};
        glGetBooleanv(GL_COLOR_WRITEMASK, mask);
        EXPECT_TRUE(mask[0] && mask[1] && mask[2] && mask[3]);
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
    }
    // After the shadowed camera pass unit 1 neither textures nor generates.
    toggleLightView = 0;
    display(nullptr);
    for (GLenum cap : {GL_TEXTURE_2D, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_Q})
        EXPECT_FALSE(glIsEnabled(cap)) << cap;
    // Without shaders no program is used: the boosting ball's highlight, which
    // its program adds, is gone.
    toggleShadows = 0;
    players[0].powerupStage = 0.5f;
    const Frame shaded = frame();
    shadersSupported = 0;
    EXPECT_GT(differing(shaded, frame(), 30), 200);
}

TEST_F(Game, ListsAndBatchedSparksDrawThePlainFrame)
{
    ASSERT_NE(modelList(head.get()), 0u) << "init() left the figures uncompiled";
    // Both balls in front of the camera, one boosting, a powerup between
    // them and a bomb's worth of sparks; the match just won.
    for (int i = 0; i < 2; ++i) {
        Player &p = players[i];
        p.x = 6.8f + 1.8f * i, p.z = 8.0f - 0.4f * i;
        p.y = getRealHeight(heightmap.data(), p.x, p.z);
        p.spawning = 0;
        p.rot = 40.0f + 30.0f * i, p.rotY = 20.0f, p.rotHY = 110.0f;
        p.powerupStage = 0.6f * i;
    }
    spawnPowerup(&powerup, 7.6f, getRealHeight(heightmap.data(), 7.6f, 9.0f), 9.0f);
    rate = 1234.0f;
    seedGameRand(9);
    createExplosion(7.6f, players[0].y + 0.4f, 8.2f, 1.0f, 5.0f, 0.9f, 0.9f, 0.5f, 0.9f, 0.7f, 0);
    for (int i = 0; i < 15; ++i)
        updateParticles(heightmap.data(), terrain->gravity, 1.0f / 60.0f);
    endGame = 1, winner = 1, sceneRot = 35.0f;
    cameraPos = {0.0f, 2.0f, 4.0f};
    const auto plain = [] {
        releaseFigures();
        const auto sparks = particles;
        initParticles();
        toggleHUD = 0;
        display(nullptr);
        particles = sparks;
        drawParticlesOneByOne(5);
        drawHUD();
        toggleHUD = 1;
        prepareFigures();
        return grab();
    };
    frame(); // both start from the state a frame leaves
    const Frame fast = frame();
    EXPECT_EQ(differing(fast, plain()), 0);
    // The scene holds what is compared: sparks, figures.
    const auto sparks = particles;
    initParticles();
    const Frame noSparks = frame();
    particles = sparks;
    EXPECT_GT(differing(fast, noSparks), 1000);
    // A model changed after compiling is drawn from its triangles, not its old list.
    std::vector<ObjTriangle> &triangles = ball->TriangleArray;
    const std::vector<ObjTriangle> whole = triangles;
    triangles.resize(triangles.size() / 2);
    ball->NumTriangle = int(triangles.size());
    const Frame halved = frame();
    EXPECT_GT(differing(fast, halved), 100);
    EXPECT_EQ(differing(halved, plain()), 0);
    triangles = whole;
    ball->NumTriangle = int(triangles.size());
    prepareFigures();
}

TEST_F(Game, FiguresStandOnTheirGroundInTheirBoostColours)
{
    // Looking down -z, a unit 100 pixels, (0, 0) in the window's middle.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-4, 4, -3, 3, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // Blue ball (0, 0, 1), ambient half; grey hamster 0.5, ambient 0.25. A
    // boost goes halfway to white at stage 1.
    const struct {
        const char *property;
        float stage;
        std::array<int, 3> cage, hamster;
    } cases[] = {{"diffuse", 1, {128, 128, 255}, {191, 191, 191}},
                 {"ambient", 0.5f, {64, 64, 159}, {112, 112, 112}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.property);
        // A program drawing the material's own colour, unlit.
        const std::string v = ::testing::TempDir() + "quorbly_material.vert",
                          f = ::testing::TempDir() + "quorbly_material.frag";
        std::ofstream(v) << "void main() { gl_FrontColor = gl_FrontMaterial." << c.property
                         << "; gl_Position = ftransform(); }\n";
        std::ofstream(f) << "void main() { gl_FragColor = gl_Color; }\n";
        const GLuint program = compile_program(v.c_str(), f.c_str());
        Player p = players[0];
        p.x = p.z = 0, p.y = -2.5f, p.radius = 2.5f, p.powerupStage = c.stage;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glUseProgram(program);
        drawPlayer(&p);
        glUseProgram(0);
        glDeleteProgram(program);
        const Frame got = grab();
        int cage = 0, fur = 0, other = 0, top = 0, bottom = kH;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const auto is = [&](std::array<int, 3> want) {
                    for (int k = 0; k < 3; ++k)
                        if (std::abs(got.at(x, y)[k] - want[k]) > 1)
                            return false;
                    return true;
                };
                if (got.brightness(x, y) == 0)
                    continue;
                top = std::max(top, y), bottom = std::min(bottom, y);
                is(c.cage) ? ++cage : is(c.hamster) ? ++fur : ++other;
            }
        EXPECT_GT(cage, 2000);
        EXPECT_GT(fur, 20000);
        EXPECT_EQ(other, 0) << "every pixel is cage or hamster";
        // The ball rests on y = -2.5: 2.5 units (250 pixels) either side of y = 0.
        EXPECT_NEAR(bottom, 50, 30);
        EXPECT_NEAR(top, 550, 30);
    }
    EXPECT_FALSE(glIsEnabled(GL_NORMALIZE));
}

} // namespace
