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
    Frame expected(const std::vector<Item> &items, int rim = 255)
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
                    p[0] = p[1] = p[2] = static_cast<std::uint8_t>(rim);
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

// ---- the text technique ------------------------------------------------------

TEST_F(HudTest, TextIsBlackGlyphsOverAWhiteRimBelowAndRight)
{
    // The HUD's projection and state, set up by hand.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, w, 0, h);
    glScalef(1, -1, 1);
    glTranslatef(0, static_cast<float>(-h), 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawTextDouble(100, 200, "Quick Hamster");
    drawTextDoubleBig(100, 300, "Quick Hamster");
    const Frame got = Frame::read(w, h);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);

    const Frame want = expected({{"Quick Hamster", 0, 100, 200}, {"Quick Hamster", 1, 100, 300}});
    EXPECT_EQ(mismatches(got, want), 0);
    // Both colours are there: the rim is not hidden under the glyphs.
    int white = 0, black = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            white += got.at(x, y)[0] == 255;
            black += got.at(x, y)[0] == 0;
        }
    EXPECT_GT(white, 40);
    EXPECT_GT(black, 80);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

// ---- the items at the start size and after a resize --------------------------

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
    };
}

TEST_F(HudTest, ItemsStandWhereTheLayoutPutsThemAt800x600)
{
    const Frame got = hudFrame();
    save(got, "hud_800x600.ppm");
    EXPECT_EQ(mismatches(got, expected(startItems())), 0);
}

TEST_F(HudTest, PauseNoticeIsCentredInTheBigFont)
{
    togglePause = 1;
    const Frame got = hudFrame();
    std::vector<Item> items = startItems();
    items.push_back({"Game Paused - Press Space to continue", 1, 240, 290});
    EXPECT_EQ(mismatches(got, expected(items)), 0);
}

TEST_F(HudTest, ResizeTo1024x768MovesTheRightAndMiddleItems)
{
    resize(1024, 768);
    togglePause = 1;
    const Frame got = hudFrame();
    save(got, "hud_1024x768.ppm");
    EXPECT_EQ(mismatches(got, expected({
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

TEST_F(HudTest, OddSizesTruncateTheMiddlePositions)
{
    resize(801, 601); // 400.5 - 40 and 300.5 - 10 truncate
    togglePause = 1;
    const Frame got = hudFrame();
    EXPECT_EQ(mismatches(got, expected({
                                  {"Terrain: Rolling Dunes", 0, 360, 15},
                                  {"First to 5 frags wins !", 0, 10, 589},
                                  {"Game Paused - Press Space to continue", 1, 240, 290},
                                  {"Player 1", 0, 731, 15},
                                  {"Score: 3", 0, 731, 30},
                                  {"har har", 0, 731, 45},
                                  {"Player 2", 0, 10, 15},
                                  {"Score: 1", 0, 10, 30},
                                  {"  60 fps", 0, 741, 589},
                              })),
              0);
}

// ---- contents ----------------------------------------------------------------

TEST_F(HudTest, BotReplacesPlayer2sLabelButNotItsScore)
{
    toggleBot = 1;
    std::vector<Item> items = startItems();
    items[5] = {"[BOT]", 0, 10, 15};
    EXPECT_EQ(mismatches(hudFrame(), expected(items)), 0);
}

TEST_F(HudTest, FadingMessageDrawsItsRimWithItsTimeLeftAsAlpha)
{
    messages[0].timeleft = 0.25f;
    std::vector<Item> items = startItems();
    const Item fading = items[4];
    items.erase(items.begin() + 4);
    const Frame got = hudFrame();
    // The rest at full strength; the message's rim at a quarter (64 of 255).
    Frame want = expected(items);
    const Frame fadingOnly = expected({fading}, 64);
    const Frame blank = expected({});
    for (std::size_t i = 0; i < want.data.size(); ++i)
        if (fadingOnly.data[i] != blank.data[i])
            want.data[i] = fadingOnly.data[i];
    EXPECT_EQ(mismatches(got, want, 1), 0);

    // Run out: not drawn at all.
    messages[0].timeleft = 0.0f;
    EXPECT_EQ(mismatches(hudFrame(), expected(items)), 0);
    messages[0].timeleft = -0.5f;
    EXPECT_EQ(mismatches(hudFrame(), expected(items)), 0);
}

TEST_F(HudTest, FrameRateKeepsItsRightEdgeForFiveDigitRates)
{
    std::vector<Item> items = startItems();
    fps = 1234;
    items[7] = {"1234 fps", 0, 740, 588};
    EXPECT_EQ(mismatches(hudFrame(), expected(items)), 0);
    // One digit more starts one digit width (7 px) further left.
    fps = 12345;
    items[7] = {"12345 fps", 0, 733, 588};
    EXPECT_EQ(mismatches(hudFrame(), expected(items)), 0);
    fps = 0;
    items[7] = {"   0 fps", 0, 740, 588};
    EXPECT_EQ(mismatches(hudFrame(), expected(items)), 0);
}

TEST_F(HudTest, LongestTerrainNameIsShownWhole)
{
    std::strcpy(terrains[0].name.data(), "Nineteen Char Place"); // 19 characters
    std::vector<Item> items = startItems();
    items[0] = {"Terrain: Nineteen Char Place", 0, 360, 15};
    EXPECT_EQ(mismatches(hudFrame(), expected(items)), 0);
}

// ---- in the frame ------------------------------------------------------------

TEST_F(HudTest, FrameDrawsTheHudOnlyWhileItIsSwitchedOn)
{
    // An empty scene: no terrain list, no models, no sparks, no programs.
    togglePause = 1;
    std::vector<Item> items = startItems();
    items.push_back({"Game Paused - Press Space to continue", 1, 240, 290});
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    display(nullptr);
    const Frame shown = Frame::read(w, h);
    EXPECT_EQ(mismatches(shown, expected(items)), 0);

    toggleHUD = 0;
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    display(nullptr);
    const Frame hidden = Frame::read(w, h);
    EXPECT_EQ(mismatches(hidden, expected({})), 0);
}

TEST_F(HudTest, HudLeavesMatricesAndAttributesAsItFoundThem)
{
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
