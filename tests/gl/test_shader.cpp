// Shader loading and the six GLSL sources, compiled by the real driver.

#include <sys/socket.h>
#include <sys/un.h>

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "gl/frame_util.h"
#include "gl/gl_context.h"
#include "render/glext.h"
#include "render/shader.h"

namespace
{

using frametest::ChangeDir;
using frametest::Frame;
using frametest::StderrCapture;
using frametest::TempDir;

constexpr int kSize = 256;

const char *const kSources[] = {"ball.vert",    "ball.frag",    "terrain.vert",
                                "terrain.frag", "powerup.vert", "powerup.frag"};

std::string slurp(const std::filesystem::path &p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A directory holding copies of the game's six sources.
void copySources(const TempDir &dir)
{
    for (const char *name : kSources)
        std::filesystem::copy_file(std::filesystem::path(QUORBLY_DATA_DIR) / name,
                                   dir.path() / name);
}

// How many shader objects exist among the first names GL hands out.
int liveShaders()
{
    int n = 0;
    for (GLuint name = 1; name < 2048; ++name)
        n += qglIsShader(name) == GL_TRUE;
    return n;
}

// User uniforms of a linked program: name -> GL type.
std::map<std::string, GLenum> userUniforms(GLuint program)
{
    std::map<std::string, GLenum> out;
    GLint count = 0;
    qglGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
        char name[128];
        GLint size = 0;
        GLenum type = 0;
        qglGetActiveUniform(program, static_cast<GLuint>(i), sizeof name, nullptr, &size, &type,
                            name);
        if (std::strncmp(name, "gl_", 3) != 0)
            out[name] = type;
    }
    return out;
}

class ShaderTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(frametest::openWindow(kSize, kSize)) << "no display (run under xvfb-run)";
        ASSERT_TRUE(loadGlExtensions());
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_TEXTURE_2D);
        glEnable(GL_DEPTH_TEST);
        glClearColor(0, 0, 0, 0);
    }
    void TearDown() override
    {
        if (!qglUseProgram) // no window, nothing was set up
            return;
        qglUseProgram(0);
        while (glGetError() != GL_NO_ERROR) {
        }
    }
};

// ---- read_source ----------------------------------------------------------

TEST_F(ShaderTest, ReadSourceReturnsTheWholeFileZeroTerminated)
{
    TempDir dir;
    const std::string text = "void main()\n{\n  gl_FragColor = vec4(1.0);\n}\n";
    dir.write("a.frag", text);
    dir.write("empty.vert", "");
    ChangeDir cd(dir.path());

    StderrCapture err;
    std::unique_ptr<char[]> got = read_source("a.frag");
    std::unique_ptr<char[]> empty = read_source("empty.vert");
    EXPECT_EQ(err.finish(), "");
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(std::string(got.get()), text);
    EXPECT_EQ(got[text.size()], '\0');
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], '\0');
}

TEST_F(ShaderTest, ReadSourceReportsMissingAndUnopenableFiles)
{
    TempDir dir;
    ChangeDir cd(dir.path());
    {
        StderrCapture err;
        EXPECT_EQ(read_source("nothere.vert"), nullptr);
        EXPECT_EQ(err.finish(), "nothere.vert could not be stat\n");
    }
    // A socket has a status but cannot be opened as a file, even by root.
    int s = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(s, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string path = (dir.path() / "sock.frag").string();
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    {
        StderrCapture err;
        EXPECT_EQ(read_source("sock.frag"), nullptr);
        EXPECT_EQ(err.finish(), "sock.frag could not be read\n");
    }
    close(s);
}

// ---- compile_program ------------------------------------------------------

TEST_F(ShaderTest, TheGamesProgramsBuildSilentlyWithTheirUniforms)
{
    ChangeDir cd(QUORBLY_DATA_DIR);
    StderrCapture err;
    GLuint ball = compile_program("ball.vert", "ball.frag");
    GLuint terrain = compile_program("terrain.vert", "terrain.frag");
    GLuint power = compile_program("powerup.vert", "powerup.frag");
    EXPECT_EQ(err.finish(), "");
    ASSERT_NE(ball, 0u);
    ASSERT_NE(terrain, 0u);
    ASSERT_NE(power, 0u);

    // Exactly the uniforms the frame sets, all in use (not optimised away).
    EXPECT_EQ(userUniforms(ball),
              (std::map<std::string, GLenum>{{"visibility", GL_FLOAT}, {"wobblePhase", GL_FLOAT}}));
    EXPECT_EQ(userUniforms(terrain),
              (std::map<std::string, GLenum>{{"multiShadows", GL_INT},
                                             {"ShadowMap", GL_SAMPLER_2D_SHADOW},
                                             {"Texture", GL_SAMPLER_2D}}));
    EXPECT_EQ(userUniforms(power), (std::map<std::string, GLenum>{{"visibility", GL_FLOAT}}));
    for (GLuint p : {ball, terrain, power})
        qglDeleteProgram(p);
}

TEST_F(ShaderTest, SourcesStayWithinGlsl120AndBuiltInState)
{
    for (const char *name : kSources) {
        const std::string text = slurp(std::filesystem::path(QUORBLY_DATA_DIR) / name);
        SCOPED_TRACE(name);
        const bool v110 = text.rfind("#version 110", 0) == 0;
        const bool v120 = text.rfind("#version 120", 0) == 0;
        EXPECT_TRUE(v110 || v120);
        EXPECT_EQ(text.find("#extension"), std::string::npos);
        EXPECT_EQ(text.find("attribute"), std::string::npos); // no generic attributes
        EXPECT_EQ(text.find('\0'), std::string::npos);
    }
}

TEST_F(ShaderTest, MissingFragmentSourceIsReportedAndOnlyThatProgramFails)
{
    TempDir dir;
    copySources(dir);
    std::filesystem::remove(dir.path() / "terrain.frag");
    ChangeDir cd(dir.path());
    const int before = liveShaders();

    StderrCapture err;
    GLuint ball = compile_program("ball.vert", "ball.frag");
    GLuint terrain = compile_program("terrain.vert", "terrain.frag");
    GLuint power = compile_program("powerup.vert", "powerup.frag");
    EXPECT_EQ(err.finish(), "terrain.frag could not be stat\n");
    EXPECT_EQ(terrain, 0u);
    EXPECT_NE(ball, 0u);
    EXPECT_NE(power, 0u);
    qglDeleteProgram(ball);
    qglDeleteProgram(power);
    // The terrain's vertex shader went with the failure; the others with their programs.
    EXPECT_EQ(liveShaders(), before);
}

TEST_F(ShaderTest, VertexSyntaxErrorIsLoggedAndTheFragmentFileIsNotRead)
{
    TempDir dir;
    dir.write("ball.vert", "void main()\n{\n  gl_Position = ftransform() +;\n}\n");
    // No ball.frag: reading it would print its "could not be stat" line.
    ChangeDir cd(dir.path());
    const int before = liveShaders();

    StderrCapture err;
    EXPECT_EQ(compile_program("ball.vert", "ball.frag"), 0u);
    const std::string text = err.finish();
    const std::string head = "Compile ball.vert failed:\n";
    ASSERT_EQ(text.compare(0, head.size(), head), 0) << text;
    EXPECT_GT(text.size(), head.size() + 1) << "the compiler's log follows";
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find("ball.frag"), std::string::npos);
    EXPECT_EQ(liveShaders(), before);
}

TEST_F(ShaderTest, FragmentSyntaxErrorDeletesBothShaders)
{
    TempDir dir;
    dir.write("v.vert", "void main() { gl_Position = ftransform(); }\n");
    dir.write("f.frag", "void main() { gl_FragColor = vec4(1.0) }\n");
    ChangeDir cd(dir.path());
    const int before = liveShaders();

    StderrCapture err;
    EXPECT_EQ(compile_program("v.vert", "f.frag"), 0u);
    const std::string text = err.finish();
    EXPECT_EQ(text.rfind("Compile f.frag failed:\n", 0), 0u) << text;
    EXPECT_GT(text.size(), std::strlen("Compile f.frag failed:\n") + 1);
    EXPECT_EQ(liveShaders(), before);
}

TEST_F(ShaderTest, LinkFailureNamesBothFilesAndPrintsTheProgramLog)
{
    TempDir dir;
    dir.write("v.vert", "varying vec3 shade;\n"
                        "void main() { shade = vec3(1.0); gl_Position = ftransform(); }\n");
    dir.write("f.frag", "varying vec4 shade;\nvoid main() { gl_FragColor = shade; }\n");
    ChangeDir cd(dir.path());

    StderrCapture err;
    EXPECT_EQ(compile_program("v.vert", "f.frag"), 0u);
    const std::string text = err.finish();
    const std::string head = "Link v.vert and f.frag failed:\n";
    ASSERT_EQ(text.rfind(head, 0), 0u) << text;
    EXPECT_GT(text.size(), head.size() + 1);
}

TEST_F(ShaderTest, EmptySourceGoesToTheCompilerAsAnEmptyString)
{
    TempDir dir;
    dir.write("empty.vert", "");
    dir.write("f.frag", "void main() { gl_FragColor = vec4(1.0); }\n");
    ChangeDir cd(dir.path());

    StderrCapture err;
    EXPECT_EQ(compile_program("empty.vert", "f.frag"), 0u);
    const std::string text = err.finish();
    // An empty shader has no main: the driver rejects it at compile or link.
    EXPECT_TRUE(text.rfind("Compile empty.vert failed:\n", 0) == 0 ||
                text.rfind("Link empty.vert and f.frag failed:\n", 0) == 0)
        << text;
    EXPECT_EQ(text.find("could not be"), std::string::npos);
}

// ---- what the sources draw ------------------------------------------------

class ShaderDrawTest : public ShaderTest
{
  protected:
    void SetUp() override
    {
        ShaderTest::SetUp();
        ChangeDir cd(QUORBLY_DATA_DIR);
        ball = compile_program("ball.vert", "ball.frag");
        power = compile_program("powerup.vert", "powerup.frag");
        ASSERT_TRUE(ball && power);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        const GLfloat amb[] = {0.5f, 0.5f, 0.5f, 1}, diff[] = {1, 1, 1, 1}, spec[] = {1, 1, 1, 1};
        glLightfv(GL_LIGHT0, GL_AMBIENT, amb);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, diff);
        glLightfv(GL_LIGHT0, GL_SPECULAR, spec);
    }
    void TearDown() override
    {
        if (!qglUseProgram)
            return;
        qglUseProgram(0);
        qglDeleteProgram(ball);
        qglDeleteProgram(power);
        glDisable(GL_LIGHTING);
        const GLfloat none[] = {0, 0, 0, 1}, grey[] = {0.2f, 0.2f, 0.2f, 1},
                      light[] = {0.8f, 0.8f, 0.8f, 1};
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, grey);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, light);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, none);
        ShaderTest::TearDown();
    }

    // A sphere seen from 4 units away, the light at the eye.
    void sphereView()
    {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(40.0, 1.0, 1.0, 10.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        const GLfloat eye[] = {0, 0, 0, 1};
        glLightfv(GL_LIGHT0, GL_POSITION, eye);
        glTranslatef(0, 0, -4);
    }
    void drawSphere()
    {
        GLUquadric *q = gluNewQuadric();
        gluQuadricNormals(q, GLU_SMOOTH);
        gluSphere(q, 1.0, 48, 32);
        gluDeleteQuadric(q);
    }
    void setMaterial(const GLfloat *ambient, const GLfloat *diffuse)
    {
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    }
    // The whole viewport covered by one lit quad facing the eye.
    void fullQuad()
    {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        const GLfloat front[] = {0, 0, 1, 0};
        glLightfv(GL_LIGHT0, GL_POSITION, front);
        glBegin(GL_QUADS);
        glNormal3f(0, 0, 1);
        glVertex2f(-1, -1);
        glVertex2f(1, -1);
        glVertex2f(1, 1);
        glVertex2f(-1, 1);
        glEnd();
    }
    int litPixels()
    {
        Frame f = Frame::read(kSize, kSize);
        int n = 0;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                n += f.brightness(x, y) > 0;
        return n;
    }

    GLuint ball = 0, power = 0;
};

TEST_F(ShaderDrawTest, VisibilityIsAScreenDoorFromGoneToSolid)
{
    for (GLuint program : {ball, power}) {
        SCOPED_TRACE(program == ball ? "ball" : "powerup");
        qglUseProgram(program);
        const GLint loc = qglGetUniformLocation(program, "visibility");
        auto drawn = [&](float v) {
            qglUniform1f(loc, v);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            fullQuad();
            return litPixels();
        };
        EXPECT_EQ(drawn(1.0f), kSize * kSize);
        EXPECT_EQ(drawn(0.5f), kSize * kSize / 2);
        EXPECT_EQ(drawn(0.25f), kSize * kSize / 4);
        EXPECT_EQ(drawn(0.0f), 0);
        EXPECT_EQ(drawn(-1.0f), 0);
        // Half visible means every other pixel of each 4x4 block, not one solid half.
        drawn(0.5f);
        Frame f = Frame::read(kSize, kSize);
        for (int by = 0; by < kSize; by += 64)
            for (int bx = 0; bx < kSize; bx += 64) {
                int n = 0;
                for (int y = by; y < by + 4; ++y)
                    for (int x = bx; x < bx + 4; ++x)
                        n += f.brightness(x, y) > 0;
                EXPECT_EQ(n, 8) << "block at " << bx << "," << by;
            }
    }
}

TEST_F(ShaderDrawTest, BallHasAGlossyHighlightTheMaterialAloneLacks)
{
    const GLfloat ambient[] = {0, 0, 0.2f, 1}, blue[] = {0, 0, 1, 1};
    auto maxRed = [&](GLuint program) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        qglUseProgram(program);
        if (program) {
            qglUniform1f(qglGetUniformLocation(program, "visibility"), 1.0f);
            qglUniform1f(qglGetUniformLocation(program, "wobblePhase"), 0.0f);
        }
        sphereView();
        setMaterial(ambient, blue);
        drawSphere();
        qglUseProgram(0);
        Frame f = Frame::read(kSize, kSize);
        int best = 0, blueAtRim = 0;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                best = std::max(best, static_cast<int>(f.at(x, y)[0]));
        blueAtRim = f.at(kSize / 2 + 60, kSize / 2)[2];
        EXPECT_GT(blueAtRim, 60) << "diffuse blue away from the highlight";
        return best;
    };
    EXPECT_LT(maxRed(0), 20);     // no specular material: a blue ball stays blue
    EXPECT_GT(maxRed(ball), 150); // the shader's own white highlight
}

TEST_F(ShaderDrawTest, WobbleMovesTheSurfaceOnlyWhileTheBoostBuilds)
{
    const GLfloat ambient[] = {0.2f, 0.2f, 0.2f, 1}, grey[] = {0.8f, 0.8f, 0.8f, 1};
    qglUseProgram(ball);
    qglUniform1f(qglGetUniformLocation(ball, "visibility"), 1.0f);
    auto frameAt = [&](float phase) {
        qglUniform1f(qglGetUniformLocation(ball, "wobblePhase"), phase);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        sphereView();
        setMaterial(ambient, grey);
        drawSphere();
        return Frame::read(kSize, kSize);
    };
    const Frame rest = frameAt(0.0f);
    const Frame done = frameAt(1.0f);
    const Frame mid = frameAt(0.5f);
    const Frame early = frameAt(0.2f);
    qglUseProgram(0);
    EXPECT_EQ(frametest::countDifferent(done, 0, 0, kSize, kSize, rest, 0), 0);
    // Silhouette changes: pixels covered in one frame and not the other.
    auto silhouetteChange = [&](const Frame &a) {
        int n = 0;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                n += (a.brightness(x, y) > 0) != (rest.brightness(x, y) > 0);
        return n;
    };
    EXPECT_GT(silhouetteChange(mid), 200);
    EXPECT_GT(silhouetteChange(early), 50);
    EXPECT_GT(silhouetteChange(mid), silhouetteChange(early) / 2);
}

TEST_F(ShaderDrawTest, PowerupGlowsInItsOwnColourBrightestAtTheOutline)
{
    const GLfloat black[] = {0, 0, 0, 1}, green[] = {0, 1, 0, 1};
    const GLfloat dark[] = {0, 0, 0, 1};
    glLightfv(GL_LIGHT0, GL_AMBIENT, dark);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, dark);
    glLightfv(GL_LIGHT0, GL_SPECULAR, dark);
    const GLfloat noScene[] = {0, 0, 0, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, noScene);

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    qglUseProgram(power);
    qglUniform1f(qglGetUniformLocation(power, "visibility"), 1.0f);
    sphereView();
    setMaterial(black, green);
    drawSphere();
    qglUseProgram(0);
    Frame f = Frame::read(kSize, kSize);
    const GLfloat sceneDefault[] = {0.2f, 0.2f, 0.2f, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, sceneDefault);

    // Unlit, it still shows its colour; more so toward the outline.
    const std::uint8_t *centre = f.at(kSize / 2, kSize / 2);
    EXPECT_GT(centre[1], 50);
    EXPECT_EQ(centre[0], 0);
    EXPECT_EQ(centre[2], 0);
    // The sphere's outline is about 91 pixels from the centre here.
    EXPECT_GT(f.at(kSize / 2 + 84, kSize / 2)[1], centre[1] + 60);
}

} // namespace
