// The HUD read back from the window: every text where its table puts it,
// in its font, white rim under black glyphs.

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/entry.h"
#include "core/loop.h"
#include "core/state.h"
#include "gl/frame_util.h"
#include "gl/gl_context.h"
#include "render/display.h"
#include "render/hud.h"
#include "sim/particle.h"
#include "terrain/mesh_gl.h"
#include "terrain/terrain.h"

namespace
{

using frametest::Frame;
using frametest::save;

// One text as the table places it: HUD pixels, y down from the top.
struct Item {
    std::string text;
    int big;
    int x, y;
};

class HudTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(frametest::openWindow(1024, 768)) << "no display (run under xvfb-run)";
        static bool glutReady = false;
        if (!glutReady) {
            int argc = 1;
            char name[] = "gl_test_hud";
            char *argv[] = {name, nullptr};
            glutInit(&argc, argv);
            glutReady = true;
        }
        resetGameState();
        initParticles();
        terrainDisplayList = 0;
        Terrain t{};
        std::strcpy(t.name.data(), "Rolling Dunes");
        terrains = {t};
        terrainCurrent = 0;
        terrain = &terrains[0];
        std::strcpy(mainMessage.data(), "First to 5 frags wins !");
        players[0].score = 3;
        players[1].score = 1;
        std::strcpy(messages[0].text.data(), "har har");
        messages[0].timeleft = 4.0f;
        messages[1].timeleft = 0.0f;
        std::strcpy(messages[1].text.data(), "unseen");
        fps = 60;
        glEnable(GL_LIGHTING);
        glEnable(GL_DEPTH_TEST);
        resize(800, 600);
    }

    void resize(int width, int height)
    {
        reshape(width, height);
        // Backgrounds are grey and opaque, so both copies of a text show.
        glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    }

    Frame hudFrame()
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawHUD();
        return Frame::read(w, h);
    }

    // What the items must look like, built without the HUD code: each text's
    // glyphs drawn plainly at its window position (y up), then the white copy
    // kept only where the black copy, one pixel left and up, leaves it.
    Frame expected(const std::vector<Item> &items)
    {
        glViewport(0, 0, w, h);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        gluOrtho2D(0, w, 0, h);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT);
        glDisable(GL_LIGHTING);
        glDisable(GL_BLEND);
        glDisable(GL_DEPTH_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1, 1, 1);
        for (const Item &it : items) {
            glRasterPos2i(it.x, h - it.y);
            for (char c : it.text)
                glutBitmapCharacter(it.big ? GLUT_BITMAP_HELVETICA_18 : GLUT_BITMAP_HELVETICA_12,
                                    static_cast<unsigned char>(c));
        }
        const Frame mask = Frame::read(w, h);
        glPopAttrib();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();

        glClear(GL_COLOR_BUFFER_BIT);
        const Frame blank = Frame::read(w, h);
        Frame out = blank;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool glyph = mask.at(x, y)[0] > 0;
                const bool black = x + 1 < w && y > 0 && mask.at(x + 1, y - 1)[0] > 0;
                std::uint8_t *p = &out.data[(static_cast<std::size_t>(y) * w + x) * 4];
                if (black)
                    p[0] = p[1] = p[2] = 0;
                else if (glyph)
                    p[0] = p[1] = p[2] = 255;
            }
        return out;
    }

    // Pixels whose colour differs by more than `tolerance` in any channel.
    static int mismatches(const Frame &a, const Frame &b, int tolerance = 0)
    {
        int n = 0;
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x)
                for (int c = 0; c < 3; ++c)
                    if (std::abs(a.at(x, y)[c] - b.at(x, y)[c]) > tolerance) {
                        ++n;
                        break;
                    }
        return n;
    }
};

std::vector<Item> startItems()
{
    return {
        {"Terrain: Rolling Dunes", 0, 360, 15},
        {"First to 5 frags wins !", 0, 10, 588},
        {"Player 1", 0, 730, 15},
        {"Score: 3", 0, 730, 30},
        {"har har", 0, 730, 45},
        {"Player 2", 0, 10, 15},
        {"Score: 1", 0, 10, 30},
        {"  60 fps", 0, 740, 588},
        {"Game Paused - Press Space to continue", 1, 240, 290},
    };
}

TEST_F(HudTest, ItemsStandWhereTheLayoutPutsThemAt800x600And1024x768)
{
    togglePause = 1;
    const Frame got = hudFrame();
    save(got, "hud_800x600.ppm");
    EXPECT_EQ(mismatches(got, expected(startItems())), 0);
    // Both colours are there: the white rim is not hidden under the black glyphs.
    int white = 0, black = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            white += got.at(x, y)[0] == 255;
            black += got.at(x, y)[0] == 0;
        }
    EXPECT_GT(white, 200);
    EXPECT_GT(black, 400);

    resize(1024, 768);
    const Frame big = hudFrame();
    save(big, "hud_1024x768.ppm");
    EXPECT_EQ(mismatches(big, expected({
                                  {"Terrain: Rolling Dunes", 0, 472, 15},
                                  {"First to 5 frags wins !", 0, 10, 756},
                                  {"Game Paused - Press Space to continue", 1, 352, 374},
                                  {"Player 1", 0, 954, 15},
                                  {"Score: 3", 0, 954, 30},
                                  {"har har", 0, 954, 45},
                                  {"Player 2", 0, 10, 15},
                                  {"Score: 1", 0, 10, 30},
                                  {"  60 fps", 0, 964, 756},
                              })),
              0);
}

TEST_F(HudTest, BotLabelFiveDigitRatesAndTheLongestTerrainName)
{
    toggleBot = 1;
    fps = 12345; // one digit more starts one digit width (7 px) further left
    std::strcpy(terrains[0].name.data(), "Nineteen Char Place");
    std::vector<Item> items = startItems();
    items.pop_back();
    items[0] = {"Terrain: Nineteen Char Place", 0, 360, 15};
    items[5] = {"[BOT]", 0, 10, 15};
    items[7] = {"12345 fps", 0, 733, 588};
    const Frame got = hudFrame();
    EXPECT_EQ(mismatches(got, expected(items)), 0);
}

TEST_F(HudTest, FrameDrawsTheHudOnlyWhileItIsSwitchedOnAndLeavesTheStateAlone)
{
    // In an empty scene (no terrain list, models, sparks or programs) the
    // frame draws it; F8 takes every item away.
    togglePause = 1;
    for (int hud : {1, 0}) {
        toggleHUD = hud;
        glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
        display(nullptr);
        const Frame got = Frame::read(w, h);
        EXPECT_EQ(mismatches(got, expected(hud ? startItems() : std::vector<Item>{})), 0) << hud;
    }
    toggleHUD = 1;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    GLdouble mvBefore[16], prBefore[16], mvAfter[16], prAfter[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, mvBefore);
    glGetDoublev(GL_PROJECTION_MATRIX, prBefore);
    glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
    hudFrame();
    glGetDoublev(GL_MODELVIEW_MATRIX, mvAfter);
    glGetDoublev(GL_PROJECTION_MATRIX, prAfter);
    EXPECT_EQ(std::memcmp(mvBefore, mvAfter, sizeof mvBefore), 0);
    EXPECT_EQ(std::memcmp(prBefore, prAfter, sizeof prBefore), 0);
    GLint mode = 0, stack = -1;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &stack);
    EXPECT_EQ(stack, 0);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLfloat colour[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 0.1f);
    EXPECT_FLOAT_EQ(colour[3], 0.4f);
}

} // namespace
