// SPDX-License-Identifier: GPL-3.0-or-later
// The shell around the frame: the window's projection, SDL's events as the
// game's inputs, the HUD's layout and the terrain's upload to GL.

#include <GL/freeglut.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <ostream>

#include "core/controls_sdl.h"
#include "core/keys.h"
#include "core/pad_sdl.h"
#include "gl/gl_context.h"

// A failing comparison of inputs says what each one is.
void PrintTo(const InputEvent &e, std::ostream *os)
{
    *os << "{kind " << int(e.kind) << ", pad " << e.pad << ", code " << e.code << ", value "
        << e.value << "}";
}

namespace
{

using namespace gltest;

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
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768);
    EXPECT_EQ(viewport[2], 1024);
    EXPECT_EQ(viewport[3], 768);
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

// A key (`index` its symbol) or a joystick event.
SDL_Event sdlEvent(Uint8 type, int which, int index, int value = 0)
{
    SDL_Event e{};
    if (type == SDL_KEYDOWN || type == SDL_KEYUP)
        e.key = {type, 0, 0, {0, SDLKey(index), KMOD_NONE, 0}};
    else if (type == SDL_JOYAXISMOTION)
        e.jaxis = {type, Uint8(which), Uint8(index), Sint16(value)};
    else if (type == SDL_JOYHATMOTION)
        e.jhat = {type, Uint8(which), Uint8(index), Uint8(value)};
    else
        e.jbutton = {type, Uint8(which), Uint8(index), Uint8(type == SDL_JOYBUTTONDOWN)};
    return e;
}

TEST_F(Game, SdlEventsBecomeTheGamesInputsAndThePictureFollows)
{
    // Every key the game names goes down and up by its own number.
    for (const keys::Named &k : keys::kNames)
        for (const auto &[type, kind] :
             {std::pair{SDL_KEYDOWN, InputKind::KeyDown}, std::pair{SDL_KEYUP, InputKind::KeyUp}})
            EXPECT_EQ(inputOf(sdlEvent(type, 0, k.key)), (InputEvent{kind, 0, k.key, 0})) << k.name;
    // The first two pads' stick and d-pad; Start and Back by the pad's name.
    namePad(1, "Microsoft X-Box 360 pad");
    using enum InputKind;
    const std::pair<SDL_Event, std::optional<InputEvent>> events[] = {
        {sdlEvent(SDL_KEYDOWN, 0, SDLK_q), std::nullopt},
        {sdlEvent(SDL_JOYAXISMOTION, 1, 1, -32768), InputEvent{PadAxis, 1, 1, -32768}},
        {sdlEvent(SDL_JOYAXISMOTION, 0, 0, 32767), InputEvent{PadAxis, 0, 0, 32767}},
        {sdlEvent(SDL_JOYAXISMOTION, 2, 0, 32767), std::nullopt},
        {sdlEvent(SDL_JOYAXISMOTION, 0, 2, 32767), std::nullopt},
        {sdlEvent(SDL_JOYHATMOTION, 1, 0, SDL_HAT_LEFTUP),
         InputEvent{PadHat, 1, 0, SDL_HAT_LEFTUP}},
        {sdlEvent(SDL_JOYHATMOTION, 0, 1, SDL_HAT_UP), std::nullopt},
        {sdlEvent(SDL_JOYHATMOTION, 2, 0, SDL_HAT_UP), std::nullopt},
        {sdlEvent(SDL_JOYBUTTONDOWN, 0, 9), InputEvent{PadButton, 0, kPadButtonStart, 0}},
        {sdlEvent(SDL_JOYBUTTONDOWN, 0, 8), InputEvent{PadButton, 0, kPadButtonBack, 0}},
        {sdlEvent(SDL_JOYBUTTONDOWN, 0, 7), std::nullopt},
        {sdlEvent(SDL_JOYBUTTONDOWN, 1, 7), InputEvent{PadButton, 1, kPadButtonStart, 0}},
        {sdlEvent(SDL_JOYBUTTONDOWN, 1, 6), InputEvent{PadButton, 1, kPadButtonBack, 0}},
        {sdlEvent(SDL_JOYBUTTONDOWN, 1, 9), std::nullopt},
        {sdlEvent(SDL_JOYBUTTONDOWN, 2, 9), std::nullopt},
        {sdlEvent(SDL_JOYBUTTONUP, 0, 9), std::nullopt}};
    for (std::size_t i = 0; i < std::size(events); ++i)
        EXPECT_EQ(inputOf(events[i].first), events[i].second) << "event " << i;
    namePad(1, "");

    // The game's own handler applies them, and the picture follows.
    SDL_Event e = sdlEvent(SDL_KEYDOWN, 0, SDLK_F5);
    EXPECT_EQ(event(&e), (InputEvent{KeyDown, 0, SDLK_F5, 0}));
    GLint shading = 0;
    glGetIntegerv(GL_SHADE_MODEL, &shading);
    EXPECT_EQ(shading, GL_FLAT);
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
    const unsigned int spare = uploadTexture(); // a new match's frees the old match's
    deleteTexture(spare);
    EXPECT_FALSE(glIsTexture(spare));
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
