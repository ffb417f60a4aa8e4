// Shader loading and the six GLSL sources, compiled by the real driver.

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "gl/frame_util.h"
#include "gl/gl_context.h"
#include "render/glext_gl.h"
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
        ASSERT_TRUE(loadGlExtensions().shaders);
        glViewport(0, 0, kSize, kSize);
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

TEST_F(ShaderTest, TheGamesProgramsBuildSilentlyWithTheirUniforms)
{
    for (const char *name : kSources) {
        std::ifstream in(std::filesystem::path(QUORBLY_DATA_DIR) / name);
        std::stringstream s;
        s << in.rdbuf();
        const std::string text = s.str();
        EXPECT_TRUE(text.rfind("#version 110", 0) == 0 || text.rfind("#version 120", 0) == 0)
            << name;
        EXPECT_EQ(text.find("#extension"), std::string::npos) << name;
    }
    ChangeDir cd(QUORBLY_DATA_DIR);
    StderrCapture err;
    const GLuint ball = compile_program("ball.vert", "ball.frag");
    const GLuint terrain = compile_program("terrain.vert", "terrain.frag");
    const GLuint power = compile_program("powerup.vert", "powerup.frag");
    EXPECT_EQ(err.finish(), "");
    ASSERT_TRUE(ball && terrain && power);
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

TEST_F(ShaderTest, MissingFragmentSourceIsReportedAndOnlyThatProgramFails)
{
    TempDir dir;
    for (const char *name : kSources)
        if (std::strcmp(name, "terrain.frag") != 0)
            std::filesystem::copy_file(std::filesystem::path(QUORBLY_DATA_DIR) / name,
                                       dir.path() / name);
    ChangeDir cd(dir.path());
    const int before = liveShaders();
    StderrCapture err;
    const GLuint ball = compile_program("ball.vert", "ball.frag");
    const GLuint terrain = compile_program("terrain.vert", "terrain.frag");
    const GLuint power = compile_program("powerup.vert", "powerup.frag");
    EXPECT_EQ(err.finish(), "terrain.frag could not be stat\n");
    EXPECT_EQ(terrain, 0u);
    EXPECT_NE(ball, 0u);
    EXPECT_NE(power, 0u);
    qglDeleteProgram(ball);
    qglDeleteProgram(power);
    // The terrain's vertex shader went with the failure; the others with their programs.
    EXPECT_EQ(liveShaders(), before);
}

TEST_F(ShaderTest, CompileAndLinkErrorsAndEmptySourcesPrintTheirLineAndLog)
{
    struct Case {
        const char *vert, *frag, *head;
    };
    const Case cases[] = {
        // No f.frag at all: reading it would print its "could not be stat" line.
        {"void main()\n{\n  gl_Position = ftransform() +;\n}\n", nullptr,
         "Compile v.vert failed:\n"},
        {"void main() { gl_Position = ftransform(); }\n",
         "void main() { gl_FragColor = vec4(1.0) }\n", "Compile f.frag failed:\n"},
        {"varying vec3 shade;\nvoid main() { shade = vec3(1.0); gl_Position = ftransform(); }\n",
         "varying vec4 shade;\nvoid main() { gl_FragColor = shade; }\n",
         "Link v.vert and f.frag failed:\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.head);
        TempDir dir;
        dir.write("v.vert", c.vert);
        if (c.frag)
            dir.write("f.frag", c.frag);
        ChangeDir cd(dir.path());
        const int before = liveShaders();
        StderrCapture err;
        EXPECT_EQ(compile_program("v.vert", "f.frag"), 0u);
        const std::string text = err.finish();
        ASSERT_EQ(text.rfind(c.head, 0), 0u) << text;
        EXPECT_GT(text.size(), std::strlen(c.head) + 1) << "the driver's log follows";
        EXPECT_EQ(text.back(), '\n');
        EXPECT_EQ(text.find("could not be"), std::string::npos) << text;
        EXPECT_EQ(liveShaders(), before);
    }
    // An empty source goes to the compiler as an empty string: no main, so
    // the driver rejects it at compile or at link.
    TempDir dir;
    dir.write("v.vert", "");
    dir.write("f.frag", "void main() { gl_FragColor = vec4(1.0); }\n");
    ChangeDir cd(dir.path());
    StderrCapture err;
    EXPECT_EQ(compile_program("v.vert", "f.frag"), 0u);
    const std::string text = err.finish();
    EXPECT_TRUE(text.rfind("Compile v.vert failed:\n", 0) == 0 ||
                text.rfind("Link v.vert and f.frag failed:\n", 0) == 0)
        << text;
}

TEST_F(ShaderTest, WobbleMovesTheBallOnlyWhileTheBoostBuilds)
{
    GLuint ball = 0;
    {
        ChangeDir cd(QUORBLY_DATA_DIR);
        ball = compile_program("ball.vert", "ball.frag");
    }
    ASSERT_NE(ball, 0u);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    // A grey sphere seen from 4 units away, the light at the eye.
    auto sphere = [&](float wobblePhase) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        qglUseProgram(ball);
        qglUniform1f(qglGetUniformLocation(ball, "visibility"), 1.0f);
        qglUniform1f(qglGetUniformLocation(ball, "wobblePhase"), wobblePhase);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(40.0, 1.0, 1.0, 10.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        const GLfloat eye[] = {0, 0, 0, 1}, grey[] = {0.8f, 0.8f, 0.8f, 1};
        glLightfv(GL_LIGHT0, GL_POSITION, eye);
        glTranslatef(0, 0, -4);
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, grey);
        GLUquadric *q = gluNewQuadric();
        gluSphere(q, 1.0, 48, 32);
        gluDeleteQuadric(q);
        qglUseProgram(0);
        return Frame::read(kSize, kSize);
    };
    const Frame rest = sphere(0.0f);
    // Silhouette changes: pixels covered in one frame and not the other.
    auto silhouetteChange = [&](const Frame &a) {
        int n = 0;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                n += (a.brightness(x, y) > 0) != (rest.brightness(x, y) > 0);
        return n;
    };
    EXPECT_EQ(silhouetteChange(sphere(1.0f)), 0);
    EXPECT_GT(silhouetteChange(sphere(0.5f)), 200);
    EXPECT_GT(silhouetteChange(sphere(0.2f)), 50);
    qglDeleteProgram(ball);
    glDisable(GL_LIGHTING);
}

} // namespace
