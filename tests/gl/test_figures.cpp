// The hamster, cage and item figures drawn into a real window.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>

#include "gl/gl_context.h"
#include "render/figures.h"
#include "render/glext_gl.h"
#include "render/model.h"
#include "sim/player.h"
#include "sim/powerup.h"

namespace
{

constexpr int kWidth = 800, kHeight = 600;

Player makePlayer(float x, float y, float z, std::array<float, 3> ball, std::array<float, 3> fur)
{
    Player p{};
    p.radius = p.radiusDefault = 0.25f;
    p.x = x;
    p.y = y;
    p.z = z;
    p.diffuse = {ball[0], ball[1], ball[2], 1};
    p.ambient = {ball[0] / 2, ball[1] / 2, ball[2] / 2, 1};
    p.diffuseHamster = {fur[0], fur[1], fur[2], 1};
    p.ambientHamster = {fur[0] / 2, fur[1] / 2, fur[2] / 2, 1};
    return p;
}

// The game's light: positional, ambient 0.5, diffuse and specular 1.
void gameLight(std::array<float, 4> position)
{
    const GLfloat ambient[] = {0.5f, 0.5f, 0.5f, 1}, one[] = {1, 1, 1, 1};
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, one);
    glLightfv(GL_LIGHT0, GL_SPECULAR, one);
    glLightfv(GL_LIGHT0, GL_POSITION, position.data());
}

void perspectiveView(double ex, double ey, double ez, double cx, double cy, double cz)
{
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(40, static_cast<double>(kWidth) / kHeight, 0.1, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(ex, ey, ez, cx, cy, cz, 0, 1, 0);
}

// Looking down -z at world units: one unit is 100 pixels, (0, 0) at the window's middle.
void orthoView()
{
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-4, 4, -3, 3, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void clear(float r = 0, float g = 0, float b = 0)
{
    glClearColor(r, g, b, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// Window position of a world point under the current matrices.
std::array<double, 2> project(double x, double y, double z)
{
    std::array<GLdouble, 16> model{}, proj{};
    std::array<GLint, 4> view{};
    glGetDoublev(GL_MODELVIEW_MATRIX, model.data());
    glGetDoublev(GL_PROJECTION_MATRIX, proj.data());
    glGetIntegerv(GL_VIEWPORT, view.data());
    GLdouble wx = 0, wy = 0, wz = 0;
    gluProject(x, y, z, model.data(), proj.data(), view.data(), &wx, &wy, &wz);
    return {wx, wy};
}

struct Extent {
    int count = 0;
    int minX = kWidth, maxX = -1, minY = kHeight, maxY = -1;
};

template <class Keep> Extent extentOf(const std::vector<std::uint8_t> &frame, Keep keep)
{
    Extent e;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const std::uint8_t *p = &frame[(static_cast<size_t>(y) * kWidth + x) * 4];
            if (!keep(p))
                continue;
            ++e.count;
            e.minX = std::min(e.minX, x);
            e.maxX = std::max(e.maxX, x);
            e.minY = std::min(e.minY, y);
            e.maxY = std::max(e.maxY, y);
        }
    return e;
}

bool lit(const std::uint8_t *p)
{
    return p[0] + p[1] + p[2] > 0;
}

// Draws with the material's own colour, no light: front ambient or diffuse.
GLuint materialProgram(const char *which)
{
    const std::string vs = std::string("void main() { gl_FrontColor = gl_FrontMaterial.") + which +
                           "; gl_Position = ftransform(); }";
    const char *fs = "void main() { gl_FragColor = gl_Color; }";
    const char *vsText = vs.c_str();
    const GLuint v = qglCreateShader(GL_VERTEX_SHADER), f = qglCreateShader(GL_FRAGMENT_SHADER);
    qglShaderSource(v, 1, &vsText, nullptr);
    qglShaderSource(f, 1, &fs, nullptr);
    qglCompileShader(v);
    qglCompileShader(f);
    const GLuint program = qglCreateProgram();
    qglAttachShader(program, v);
    qglAttachShader(program, f);
    qglLinkProgram(program);
    GLint linked = 0;
    qglGetProgramiv(program, GL_LINK_STATUS, &linked);
    return linked ? program : 0;
}

void savePicture(const std::string &name)
{
    const std::string ppm = std::string(QUORBLY_BUILD_DIR) + "/" + name + ".ppm";
    ASSERT_TRUE(gltest::saveFrame(ppm.c_str(), kWidth, kHeight));
    const std::string png = std::string(QUORBLY_BUILD_DIR) + "/" + name + ".png";
    const std::string command = "convert '" + ppm + "' '" + png + "' 2>/dev/null";
    if (std::system(command.c_str()) == 0)
        std::printf("saved %s\n", png.c_str());
    else
        std::printf("saved %s\n", ppm.c_str());
}

class Figures : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        if (!gltest::openWindow(kWidth, kHeight))
            return;
        // The game runs from data/ and loads models/ relative to it.
        if (chdir(QUORBLY_DATA_DIR) != 0)
            return;
        initModel();
        initPower();
    }
    static void TearDownTestSuite()
    {
        freeModel();
        freePower();
    }
    void SetUp() override
    {
        ASSERT_TRUE(gltest::openWindow(kWidth, kHeight)) << "no display";
        ASSERT_TRUE(body && body->NumTriangle > 0) << "models not loaded from " QUORBLY_DATA_DIR;
        rate = 0;
        glEnable(GL_DEPTH_TEST);
        glShadeModel(GL_SMOOTH);
        glDisable(GL_LIGHTING);
        qglUseProgram(0);
    }
};

TEST_F(Figures, PlayerDrawsAroundItsBallAndLeavesTheStateAsItFoundIt)
{
    Player p = makePlayer(7.5f, 1.0f, 7.5f, {0, 0, 1}, {0.5f, 0.5f, 0.5f});
    p.powerupStage = 0.7f;
    perspectiveView(7.5, 3.0, 10.0, 7.5, 1.25, 7.5);
    gameLight({7.5f, 15, 15, 1});
    clear();
    const GLfloat before[] = {0.1f, 0.2f, 0.3f, 0.4f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, before);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, before);
    std::array<GLfloat, 16> matrixBefore{}, matrixAfter{};
    glGetFloatv(GL_MODELVIEW_MATRIX, matrixBefore.data());
    drawPlayer(&p);
    std::array<GLfloat, 4> diffuse{}, ambient{};
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse.data());
    glGetMaterialfv(GL_BACK, GL_AMBIENT, ambient.data());
    glGetFloatv(GL_MODELVIEW_MATRIX, matrixAfter.data());
    EXPECT_EQ(diffuse, std::to_array(before));
    EXPECT_EQ(ambient, std::to_array(before));
    EXPECT_EQ(matrixAfter, matrixBefore);
    EXPECT_FALSE(glIsEnabled(GL_NORMALIZE));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const auto centre = project(p.x, p.y + p.radius, p.z);
    const auto rim = project(p.x + p.radius, p.y + p.radius, p.z);
    const double r = std::fabs(rim[0] - centre[0]);
    ASSERT_GT(r, 20) << "the ball is too small on screen to judge";

    const auto frame = gltest::readFrame(kWidth, kHeight);
    const Extent all = extentOf(frame, lit);
    EXPECT_GT(all.count, 0.5 * 3.14 * r * r) << "the hamster and cage should fill much of the ball";
    EXPECT_GE(all.minX, centre[0] - 1.15 * r);
    EXPECT_LE(all.maxX, centre[0] + 1.15 * r);
    EXPECT_GE(all.minY, centre[1] - 1.3 * r);
    EXPECT_LE(all.maxY, centre[1] + 1.3 * r);
    EXPECT_TRUE(lit(&frame[(static_cast<size_t>(centre[1] - 0.3 * r) * kWidth +
                            static_cast<size_t>(centre[0])) *
                           4]))
        << "the hamster sits in the lower half of the ball";
}

TEST_F(Figures, BoostStageLightensHamsterAndCage)
{
    struct Case {
        const char *property;
        float stage;
        std::array<int, 3> cage, hamster;
    };
    // Blue ball (0, 0, 1) with ambient (0, 0, 0.5); grey hamster 0.5 with ambient 0.25.
    const Case cases[] = {
        {"diffuse", 1, {128, 128, 255}, {191, 191, 191}},
        {"diffuse", 0, {0, 0, 255}, {128, 128, 128}},
        {"ambient", 1, {128, 128, 191}, {159, 159, 159}},
        {"ambient", 0.5f, {64, 64, 159}, {112, 112, 112}},
    };
    orthoView();
    for (const Case &c : cases) {
        const GLuint program = materialProgram(c.property);
        ASSERT_NE(program, 0u);
        Player p = makePlayer(0, -2.5f, 0, {0, 0, 1}, {0.5f, 0.5f, 0.5f});
        p.radius = 2.5f;
        p.powerupStage = c.stage;
        clear();
        qglUseProgram(program);
        drawPlayer(&p);
        qglUseProgram(0);
        qglDeleteProgram(program);
        const auto frame = gltest::readFrame(kWidth, kHeight);
        auto near = [](const std::uint8_t *q, const std::array<int, 3> &want) {
            return std::abs(q[0] - want[0]) <= 1 && std::abs(q[1] - want[1]) <= 1 &&
                   std::abs(q[2] - want[2]) <= 1;
        };
        const Extent cage = extentOf(frame, [&](const std::uint8_t *q) { return near(q, c.cage); });
        const Extent fur =
            extentOf(frame, [&](const std::uint8_t *q) { return near(q, c.hamster); });
        const Extent any = extentOf(frame, lit);
        SCOPED_TRACE(std::string(c.property) + " at stage " + std::to_string(c.stage));
        EXPECT_GT(cage.count, 2000);
        EXPECT_GT(fur.count, 20000);
        EXPECT_EQ(cage.count + fur.count, any.count) << "every drawn pixel is cage or hamster";
    }
}

TEST_F(Figures, PowerupDrawsNothingInactiveAndSevenEighthsOfItsItemAtRateZero)
{
    const GLuint program = materialProgram("diffuse");
    ASSERT_NE(program, 0u);
    Powerup pu{};
    pu.x = 0.2f;
    pu.y = -0.5f;
    rgb = {0.2f, 0.8f, 0.4f};
    orthoView();
    glScalef(4, 4, 4); // 400 pixels a unit
    qglUseProgram(program);
    clear();
    drawPowerup(&pu);
    EXPECT_EQ(extentOf(gltest::readFrame(kWidth, kHeight), lit).count, 0);
    pu.active = 1;
    drawPowerup(&pu);
    qglUseProgram(0);
    qglDeleteProgram(program);
    const auto frame = gltest::readFrame(kWidth, kHeight);
    const Extent any = extentOf(frame, lit);
    const Extent coloured = extentOf(frame, [](const std::uint8_t *q) {
        return std::abs(q[0] - 51) <= 1 && std::abs(q[1] - 204) <= 1 && std::abs(q[2] - 102) <= 1;
    });
    EXPECT_EQ(coloured.count, any.count);
    // The gem is one unit across, scaled by 0.4 and by 7/8 for the pulse at rate 0.
    EXPECT_NEAR(any.maxX - any.minX + 1, 1.0 * 0.4 * 7 / 8 * 400, 3);
    EXPECT_NEAR((any.maxX + any.minX + 1) / 2.0, 400 + 80, 2);
    EXPECT_NEAR((any.maxY + any.minY + 1) / 2.0, 300, 2);
}

TEST_F(Figures, CloseUpOfHamstersInTheirBalls)
{
    // For people to look at: a grey hamster in a blue ball, turned and
    // rolling, seen like the game sees it.
    Player grey = makePlayer(0, -1, 0, {0, 0, 1}, {0.5f, 0.5f, 0.5f});
    grey.radius = 1;
    grey.rotHY = -20;
    grey.rotY = -20;
    grey.rot = -15;
    perspectiveView(2.0, 0.55, 2.3, 0.05, -0.1, 0);
    gameLight({4, 10, 6, 1});
    clear(0.25f, 0.3f, 0.35f);
    drawPlayer(&grey);
    savePicture("figures-closeup");
    const auto frame = gltest::readFrame(kWidth, kHeight);
    const Extent blue = extentOf(frame, [](const std::uint8_t *q) { return q[2] > q[0] + 60; });
    const Extent fur = extentOf(frame, [](const std::uint8_t *q) {
        return q[0] > 70 && std::abs(q[0] - q[2]) < 12 && std::abs(q[0] - q[1]) < 12;
    });
    EXPECT_GT(blue.count, 40000) << "the cage";
    EXPECT_GT(fur.count, 12000) << "the hamster";
}

} // namespace
