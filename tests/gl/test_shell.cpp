// SPDX-License-Identifier: GPL-3.0-or-later
// The shell around the frame: the window's projection, keys through the
// event path, the HUD's layout and the terrain's upload to GL.

#include <GL/freeglut.h>

#include <cmath>
#include <cstring>

#include "gl/gl_context.h"

namespace
{

using namespace gltest;

void press(int key, bool down = true)
{
    SDL_Event ev{};
    ev.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    ev.key.keysym.sym = static_cast<SDLKey>(key);
    event(&ev);
}

std::array<GLfloat, 16> projection()
{
    std::array<GLfloat, 16> m{};
    glGetFloatv(GL_PROJECTION_MATRIX, m.data());
    return m;
}

TEST_F(Game, ReshapeGivesViewportAndProjectionAtEverySizeDownToNothing)
{
    reshape(1024, 768);
    const auto m = projection();
    GLint viewport[4] = {}, mode = 0;
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(w * 10000 + h, 1024 * 10000 + 768);
    EXPECT_EQ(viewport[2] * 10000 + viewport[3], 1024 * 10000 + 768);
    EXPECT_EQ(mode, GL_MODELVIEW);
    // 90 degrees vertically, x scaled by the aspect, near 0.01 and far 100.
    EXPECT_NEAR(m[5], 1.0f, 1e-6f);
    EXPECT_NEAR(m[0], 768.0f / 1024.0f, 1e-6f);
    EXPECT_NEAR(m[10], -100.01f / 99.99f, 1e-6f);
    EXPECT_NEAR(m[14], -2.0f / 99.99f, 1e-6f);
    // No height projects as one pixel does, and frames still draw.
    reshape(800, 1);
    const auto one = projection();
    reshape(800, 0);
    EXPECT_EQ(projection(), one);
    EXPECT_EQ(h, 0);
    for (auto [width, height] : {std::pair{800, 0}, {0, 600}, {0, 0}, {1, 1}}) {
        reshape(width, height);
        for (int i = 0; i < 3; ++i) {
            update(0.02f);
            display(nullptr);
        }
    }
    reshape(kW, kH);
    const Frame back = frame();
    EXPECT_GT(differing(back, Frame{kW, kH, std::vector<std::uint8_t>(back.data.size())}),
              kW * kH / 10);
}

TEST_F(Game, KeysReachTheirTogglesAndPlayersThroughTheEventPath)
{
    // Each toggle key flips its own switch and no other; F2, F3 and Q do nothing.
    // clang-format off
    const std::pair<int, int *> keys[] = {
        {SDLK_1, &toggleCameraMovement}, {SDLK_2, &toggleLightMovement}, {SDLK_p, &toggleLightView},
        {SDLK_F4, &toggleBot}, {SDLK_F5, &toggleSmooth}, {SDLK_F6, &toggleShadows},
        {SDLK_F7, &toggleMultiShadows}, {SDLK_F8, &toggleHUD}, {SDLK_F9, &toggleBulletTime},
        {SDLK_F10, &toggleSuperSizeMe}, {SDLK_F11, &players[0].powerupActive},
        {SDLK_SPACE, &togglePause}, {SDLK_F2, nullptr},
        {SDLK_F3, nullptr}, {SDLK_q, nullptr}};
    // clang-format on
    for (int round = 0; round < 2; ++round)
        for (const auto &[key, which] : keys) {
            std::vector<int> before;
            for (const auto &k : keys)
                before.push_back(k.second ? *k.second : 0);
            press(key);
            for (std::size_t k = 0; k < std::size(keys); ++k)
                EXPECT_EQ(keys[k].second ? *keys[k].second : 0,
                          before[k] ^ (keys[k].second && keys[k].second == which))
                    << key;
        }
    EXPECT_EQ(players[0].powerup, 1); // F11 grows, F12 speeds up
    press(SDLK_F12);
    EXPECT_EQ(players[0].powerup * 10 + players[0].powerupActive, 21);
    GLint shading = 0;
    press(SDLK_F5);
    glGetIntegerv(GL_SHADE_MODEL, &shading);
    EXPECT_EQ(shading, GL_FLAT);
    shadowsDisabled = 1;
    press(SDLK_F6);
    EXPECT_EQ(toggleShadows, 1);

    // Steering: presses and releases pair up per player; the bot taking over
    // clears player 2's.
    const auto held = [] {
        return std::array{players[0].pressx, players[0].pressy, players[1].pressx,
                          players[1].pressy};
    };
    press(SDLK_UP), press(SDLK_LEFT), press(SDLK_w), press(SDLK_d);
    EXPECT_EQ(held(), (std::array{-1, 1, 1, 1}));
    press(SDLK_DOWN), press(SDLK_RIGHT), press(SDLK_s), press(SDLK_a);
    press(SDLK_UP, false), press(SDLK_LEFT, false), press(SDLK_w, false), press(SDLK_d, false);
    EXPECT_EQ(held(), (std::array{1, -1, -1, -1}));
    press(SDLK_DOWN, false), press(SDLK_RIGHT, false), press(SDLK_s, false), press(SDLK_a, false);
    EXPECT_EQ(held(), (std::array{0, 0, 0, 0}));
    press(SDLK_w), press(SDLK_a), press(SDLK_F4), press(SDLK_F4);
    EXPECT_EQ(held(), (std::array{0, 0, 0, 0}));

    // The light moves half a unit a key; I reports where it is. The volume
    // steps stop at the ends.
    lightPos = {7.5f, 15.0f, 22.5f, 1.0f};
    ::testing::internal::CaptureStdout();
    press(SDLK_i);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "7.5, 15.0, 22.0\n");
    press(SDLK_l), press(SDLK_u), press(SDLK_k), press(SDLK_k), press(SDLK_j), press(SDLK_u);
    EXPECT_EQ(lightPos, (std::array{7.5f, 16.0f, 23.0f, 1.0f}));
    press(SDLK_m);
    EXPECT_EQ(lightPos[1], 15.5f);
    ASSERT_TRUE(audioOpen());
    for (int i = 0; i < 20; ++i)
        press(SDLK_KP_MINUS);
    EXPECT_EQ(effectsVolume(), 0);
    for (int i = 0; i < 20; ++i)
        press(SDLK_KP_PLUS);
    EXPECT_EQ(effectsVolume(), 128);

    // F1 brings a new terrain and keeps the pause; Space after a match starts
    // the next, keeping the keys held.
    ::testing::internal::CaptureStdout();
    const int before = terrainCurrent;
    togglePause = 1;
    press(SDLK_F1);
    EXPECT_EQ(togglePause * 100 + (terrainCurrent != before), 101);
    togglePause = 0;
    endGame = 1;
    players[0].score = 5;
    press(SDLK_RIGHT);
    press(SDLK_SPACE);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(endGame * 100 + togglePause * 10 + players[0].score, 0);
    EXPECT_EQ(players[0].pressx, 1);
    press(SDLK_ESCAPE);
    EXPECT_EQ(quit_flag, 1);
}

// One text as the layout places it: HUD pixels, y down from the top.
struct Item {
    std::string text;
    int big, x, y;
};

// The HUD built without the HUD code: each text's glyphs at its place, the
// white copy kept where the black one, a pixel left and up, leaves it.
Frame expected(const std::vector<Item> &items)
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, w, 0, h);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);
    for (const Item &it : items) {
        glRasterPos2i(it.x, h - it.y);
        for (char c : it.text)
            glutBitmapCharacter(it.big ? GLUT_BITMAP_HELVETICA_18 : GLUT_BITMAP_HELVETICA_12, c);
    }
    const Frame mask = grab(w, h);
    glPopAttrib();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glClear(GL_COLOR_BUFFER_BIT);
    Frame out = grab(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t *p = &out.data[(static_cast<std::size_t>(y) * w + x) * 4];
            if (x + 1 < w && y > 0 && mask.at(x + 1, y - 1)[0] > 0)
                p[0] = p[1] = p[2] = 0;
            else if (mask.at(x, y)[0] > 0)
                p[0] = p[1] = p[2] = 255;
        }
    return out;
}

TEST_F(Game, HudTextsStandWhereTheLayoutPutsThem)
{
    const std::string name = "Terrain: " + std::string(terrain->name.data());
    players[0].score = 3;
    players[1].score = 1;
    std::strcpy(messages[0].text.data(), "har har");
    messages[0].timeleft = 4.0f;
    std::strcpy(messages[1].text.data(), "unseen");
    fps = 60;
    togglePause = 1;
    const auto hud = [] {
        glClearColor(0.5f, 0.5f, 0.5f, 1.0f); // opaque: both copies show
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawHUD();
        return grab(w, h);
    };
    glEnable(GL_DEPTH_TEST);
    Frame got = hud();
    EXPECT_EQ(differing(got, expected({{name, 0, 360, 15},
                                       {"First to 5 frags wins !", 0, 10, 588},
                                       {"Player 1", 0, 730, 15},
                                       {"Score: 3", 0, 730, 30},
                                       {"har har", 0, 730, 45},
                                       {"Player 2", 0, 10, 15},
                                       {"Score: 1", 0, 10, 30},
                                       {"  60 fps", 0, 740, 588},
                                       {"Game Paused - Press Space to continue", 1, 240, 290}})),
              0);
    // Larger, with the bot and a rate one digit wider (7 pixels further left).
    reshape(1024, 768);
    togglePause = 0;
    toggleBot = 1;
    fps = 10000;
    got = hud();
    EXPECT_EQ(differing(got, expected({{name, 0, 472, 15},
                                       {"First to 5 frags wins !", 0, 10, 756},
                                       {"Player 1", 0, 954, 15},
                                       {"Score: 3", 0, 954, 30},
                                       {"har har", 0, 954, 45},
                                       {"[BOT]", 0, 10, 15},
                                       {"Score: 1", 0, 10, 30},
                                       {"10000 fps", 0, 957, 756}})),
              0);
}

// One white light from `towards` (world), no global ambient.
void light(float x, float y, float z)
{
    const float zero[] = {0, 0, 0, 1}, half[] = {0.5f, 0.5f, 0.5f, 1}, one[] = {1, 1, 1, 1},
                dir[] = {x, y, z, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, zero);
    glLightfv(GL_LIGHT0, GL_AMBIENT, half);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, one);
    glLightfv(GL_LIGHT0, GL_SPECULAR, zero);
    glLightfv(GL_LIGHT0, GL_POSITION, dir);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// Lit colour of a face turned to the light, scaled by a texel.
bool litAs(const std::uint8_t *p, int texel, int tolerance)
{
    for (int k = 0; k < 3; ++k) {
        const float c = std::min(1.0f, terrain->ambient[k] * 0.5f + terrain->diffuse[k]);
        if (std::abs(p[k] - int(c * 255 + 0.5f) * texel / 255) > tolerance)
            return false;
    }
    return true;
}

TEST_F(Game, TerrainUploadsItsTextureAndListAndShowsFromOutsideOnly)
{
    // The texture: the generated texels as level 0, mipmapped down to 1x1.
    ::testing::internal::CaptureStdout();
    const unsigned int tex = initTexture(terrain);
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "Generating texture\n" + std::string(79, '.') + "\n");
    const std::pair<GLenum, GLint> params[] = {{GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_LINEAR},
                                               {GL_TEXTURE_MAG_FILTER, GL_LINEAR},
                                               {GL_TEXTURE_WRAP_S, GL_CLAMP},
                                               {GL_TEXTURE_WRAP_T, GL_CLAMP}};
    for (const auto &[param, want] : params) {
        GLint v = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, param, &v);
        EXPECT_EQ(v, want) << param;
    }
    std::vector<unsigned char> level0(kTexels);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, level0.data());
    EXPECT_TRUE(std::equal(level0.begin(), level0.end(), texture.begin()));
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 9, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 1);
    deleteTexture(textureName);
    textureName = tex;

    // The grid: generated and compiled; destroying it deletes the list.
    ::testing::internal::CaptureStdout();
    initHeightMap(heightmap.data(), textureName);
    EXPECT_EQ(::testing::internal::GetCapturedStdout().rfind("Generating terrain\n..", 0), 0u);
    const unsigned int list = terrainDisplayList;
    EXPECT_TRUE(glIsList(list));
    destroyHeightMap();
    EXPECT_FALSE(glIsList(list));
    EXPECT_EQ(terrainDisplayList, 0u);

    // Seen from above, one pixel a texel, a flat field is evenly lit and
    // textured once: s along x, t along z, rows up from z = 15.
    flatField();
    glViewport(0, 0, 512, 512);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 15, -15, 0, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(90, 1, 0, 0);
    light(0, 1, 0);
    glActiveTexture(GL_TEXTURE0);
    drawHeightMap(heightmap.data());
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D) || glIsEnabled(GL_CULL_FACE));
    const Frame above = grab(512, 512);
    int off = 0;
    for (int py = 3; py < 509; py += 5)
        for (int px = 5; px < 507; px += 7)
            off += !litAs(above.at(px, py), texture[(511 - py) * 512 + px], 3);
    EXPECT_EQ(off, 0);

    // Walls and bottom: plain material colour from outside, nothing from inside.
    flatField(80); // the walls reach from 0.8 down to -1
    const vector faces[] = {
        {7.5f, -0.1f, 0}, {7.5f, -0.1f, 15}, {0, -0.1f, 7.5f}, {15, -0.1f, 7.5f}, {7.5f, -1, 7.5f}};
    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-0.4, 0.4, -0.4, 0.4, 4.5, 5.5);
    glMatrixMode(GL_MODELVIEW);
    for (const vector c : faces)
        for (float side : {1.0f, -1.0f}) {
            // Outwards from the field's middle, or down from the bottom.
            const auto out = [&](float v) { return side * ((v > 7.5f) - (v < 7.5f)); };
            const vector d{out(c.x), c.y < -0.5f ? -side : 0.0f, out(c.z)};
            glLoadIdentity();
            gluLookAt(c.x + 5 * d.x, c.y + 5 * d.y, c.z + 5 * d.z, c.x, c.y, c.z, 0, d.y ? 0 : 1,
                      d.y ? 1 : 0);
            light(d.x, d.y, d.z);
            drawHeightMap(heightmap.data());
            const Frame f1 = grab(64, 64);
            if (side > 0)
                EXPECT_TRUE(litAs(f1.at(32, 32), 255, 2)) << c.x << "," << c.y << "," << c.z;
            else
                EXPECT_EQ(f1.brightness(32, 32), 0) << c.x << "," << c.y << "," << c.z;
        }
}

} // namespace
