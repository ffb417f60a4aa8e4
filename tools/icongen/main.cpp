// SPDX-License-Identifier: GPL-3.0-or-later
// quorbly-icongen DATADIR OUTDIR: draws player 1's hamster in its blue ball
// with the game's own models and figure code, and writes quorbly-64.png,
// quorbly-128.png and quorbly-256.png into OUTDIR. Needs an X display.
#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "image.h"
#include "render/figures.h"
#include "render/glext_gl.h"
#include "render/model.h"
#include "sim/player.h"

namespace
{

// Each size is drawn this many times larger and averaged down: smooth bars
// without relying on the driver's multisampling.
constexpr int kSupersample = 4;

// The animation clock at a moment where the head is lifted a little and the
// feet are mid-stride, so the hamster looks like it is running.
constexpr float kPoseRate = 294.5f;

constexpr float kGlassAlpha = 0.22f;

struct Target {
    GLuint fbo = 0, colour = 0, depth = 0;
};

bool makeTarget(Target &t, int size)
{
    glGenTextures(1, &t.colour);
    glBindTexture(GL_TEXTURE_2D, t.colour);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenTextures(1, &t.depth);
    glBindTexture(GL_TEXTURE_2D, t.depth);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, size, size, 0, GL_DEPTH_COMPONENT,
                 GL_UNSIGNED_INT, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    qglGenFramebuffersEXT(1, &t.fbo);
    qglBindFramebufferEXT(GL_FRAMEBUFFER_EXT, t.fbo);
    qglFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                               t.colour, 0);
    qglFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D, t.depth,
                               0);
    return qglCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
}

void freeTarget(Target &t)
{
    qglBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    qglDeleteFramebuffersEXT(1, &t.fbo);
    glDeleteTextures(1, &t.colour);
    glDeleteTextures(1, &t.depth);
    t = {};
}

// A warm key light from the upper left, a cool fill from the right and a
// weak ambient, so the bars keep their roundness against any background.
void lights()
{
    const std::array<GLfloat, 4> none = {0, 0, 0, 1};
    const std::array<GLfloat, 4> keyPos = {-2.5f, 4.0f, 4.0f, 0.0f};
    const std::array<GLfloat, 4> keyDiff = {1.0f, 0.97f, 0.9f, 1.0f};
    const std::array<GLfloat, 4> keySpec = {1.0f, 1.0f, 1.0f, 1.0f};
    const std::array<GLfloat, 4> fillPos = {4.0f, 0.5f, 1.0f, 0.0f};
    const std::array<GLfloat, 4> fillDiff = {0.35f, 0.4f, 0.5f, 1.0f};
    const std::array<GLfloat, 4> ambient = {0.35f, 0.35f, 0.35f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none.data());
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_POSITION, keyPos.data());
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient.data());
    glLightfv(GL_LIGHT0, GL_DIFFUSE, keyDiff.data());
    glLightfv(GL_LIGHT0, GL_SPECULAR, keySpec.data());
    glEnable(GL_LIGHT1);
    glLightfv(GL_LIGHT1, GL_POSITION, fillPos.data());
    glLightfv(GL_LIGHT1, GL_AMBIENT, none.data());
    glLightfv(GL_LIGHT1, GL_DIFFUSE, fillDiff.data());
    glLightfv(GL_LIGHT1, GL_SPECULAR, none.data());
}

// A faint glass shell just inside the bars: at 64 pixels the bars alone
// read as a wire globe, the tint makes it a ball. Only the near half is
// drawn, blended so the framebuffer keeps premultiplied colour and a
// coverage alpha (see downsample).
void drawGlass()
{
    const std::array<GLfloat, 4> tint = {0.55f, 0.75f, 1.0f, kGlassAlpha};
    const std::array<GLfloat, 4> shine = {1.0f, 1.0f, 1.0f, 1.0f};
    glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glMaterialfv(GL_FRONT, GL_AMBIENT, tint.data());
    glMaterialfv(GL_FRONT, GL_DIFFUSE, tint.data());
    glMaterialfv(GL_FRONT, GL_SPECULAR, shine.data());
    glMaterialf(GL_FRONT, GL_SHININESS, 60.0f);
    GLUquadric *sphere = gluNewQuadric();
    gluQuadricNormals(sphere, GLU_SMOOTH);
    glPushMatrix();
    glTranslatef(0.0f, 1.0f, 0.0f);
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    gluSphere(sphere, 0.97, 96, 48);
    glPopMatrix();
    gluDeleteQuadric(sphere);
    glPopAttrib();
}

icongen::Image render(int size, const Player &player)
{
    icongen::Image frame;
    Target target;
    if (!makeTarget(target, size)) {
        freeTarget(target);
        return frame;
    }
    glViewport(0, 0, size, size);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(26.0, 1.0, 0.5, 20.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0.0, 1.9, 4.9, 0.0, 1.0, 0.0, 0.0, 1.0, 0.0);
    lights();

    // drawPlayer sets ambient and diffuse only; the gloss comes from here.
    const std::array<GLfloat, 4> specular = {0.6f, 0.6f, 0.6f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular.data());
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 40.0f);
    drawPlayer(&player);
    drawGlass();

    frame.width = frame.height = size;
    frame.rgba.resize(static_cast<std::size_t>(size) * size * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, size, size, GL_RGBA, GL_UNSIGNED_BYTE, frame.rgba.data());
    freeTarget(target);
    return icongen::flipRows(frame);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DATADIR OUTDIR\n", argv[0]);
        return 2;
    }
    // The output directory is named from where we were started, not from DATADIR.
    const std::string out = std::filesystem::absolute(argv[2]).string();
    if (chdir(argv[1]) != 0) {
        std::fprintf(stderr, "cannot enter %s\n", argv[1]);
        return 1;
    }
    if (SDL_Init(SDL_INIT_VIDEO) < 0 || !SDL_SetVideoMode(64, 64, 32, SDL_OPENGL)) {
        std::fprintf(stderr, "cannot open a GL window: %s\n", SDL_GetError());
        return 1;
    }
    if (const GlEntryPoints found = loadGlExtensions();
        !found.shaders || !found.framebuffers || !qglCheckFramebufferStatusEXT) {
        std::fprintf(stderr, "framebuffer objects are not available\n");
        SDL_Quit();
        return 1;
    }
    initModel();
    if (!head || head->NumTriangle == 0 || !ball || ball->NumTriangle == 0) {
        std::fprintf(stderr, "the hamster models are missing under %s/models\n", argv[1]);
        SDL_Quit();
        return 1;
    }
    rate = kPoseRate;

    // Player 1 as the game sets it up, grown to a unit ball at the origin and
    // turned so the hamster runs towards the viewer's right.
    Player player{};
    initPlayer(&player, 0.0f, 0.0f, 1.0f, 1.0f, 0.5f, 0.2f, 0.0f, 0.0f, 0.0f);
    player.radius = 1.0f;
    player.rotHY = -62.0f;
    player.rotY = 40.0f;
    player.rot = 35.0f;

    int status = 0;
    for (int size : {64, 128, 256}) {
        const icongen::Image big = render(size * kSupersample, player);
        const std::string path = out + "/quorbly-" + std::to_string(size) + ".png";
        if (big.rgba.empty() || !icongen::writePng(path, icongen::downsample(big, kSupersample))) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            status = 1;
            continue;
        }
        std::printf("%s\n", path.c_str());
    }
    freeModel();
    SDL_Quit();
    return status;
}
