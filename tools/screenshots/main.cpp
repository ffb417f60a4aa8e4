// SPDX-License-Identifier: GPL-3.0-or-later
// quorbly-screenshots DATADIR OUTDIR: starts the game as the real program
// does, plays four situations with a fixed frame time and saves each frame as
// OUTDIR/screenshot-{start,hit,grown,winner}.png. Needs an X display.
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <SDL.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/controls.h"
#include "core/entry.h"
#include "core/game.h"
#include "core/loop.h"
#include "core/random.h"
#include "core/state.h"
#include "image.h"
#include "render/display.h"
#include "sim/frags.h"
#include "sim/update.h"
#include "terrain/heightmap.h"

namespace
{

constexpr int kWidth = 800, kHeight = 600;
constexpr float kStep = 1.0f / 60.0f;

void play(float seconds)
{
    for (float t = 0; t < seconds; t += kStep)
        update(kStep);
}

// Draws real frames for a while, game time standing still, so the HUD's
// frame counter shows what this machine really manages.
void settleFrameCounter()
{
    startFrameCount(SDL_GetTicks());
    const std::uint32_t start = SDL_GetTicks();
    while (SDL_GetTicks() - start < 1100) {
        display(screen);
        SDL_GL_SwapBuffers();
        countFrame(SDL_GetTicks());
    }
}

bool shoot(const std::string &path)
{
    settleFrameCounter();
    display(screen);
    icongen::Image frame{kWidth, kHeight, {}};
    frame.rgba.resize(static_cast<std::size_t>(kWidth) * kHeight * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, frame.rgba.data());
    SDL_GL_SwapBuffers();
    for (std::size_t i = 3; i < frame.rgba.size(); i += 4)
        frame.rgba[i] = 255; // the window has no use for its alpha
    const bool ok = icongen::writePng(path, icongen::flipRows(frame));
    std::printf("%s%s\n", ok ? "" : "cannot write ", path.c_str());
    return ok;
}

// A situation that did not come about is reported, and the run fails.
bool expect(bool happened, const char *otherwise)
{
    if (!happened)
        std::fprintf(stderr, "quorbly-screenshots: %s\n", otherwise);
    return happened;
}

// A fresh match, on the named terrain if the file has it (F1 until it comes up).
void newMatchOn(const char *name)
{
    for (int tries = 0; tries < 60; ++tries) {
        keyDown(SDLK_F1);
        if (std::strcmp(terrain->name.data(), name) == 0)
            break;
    }
}

void placeOnGround(Player &p, float x, float z)
{
    p.x = x;
    p.z = z;
    p.y = getRealHeight(heightmap.data(), x, z);
    p.grounded = 1;
    p.spawning = 0;
    p.velocity = {0, 0, 0};
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DATADIR OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string out = std::filesystem::absolute(argv[2]).string();
    if (chdir(argv[1]) != 0) {
        std::fprintf(stderr, "cannot enter %s\n", argv[1]);
        return 1;
    }
    seedGameRand(2024); // the same terrains and powerup draws on every run
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) < 0) {
        std::fprintf(stderr, "cannot start SDL: %s\n", SDL_GetError());
        return 1;
    }
    videoFlags = SDL_OPENGL | SDL_DOUBLEBUF;
    screen = SDL_SetVideoMode(kWidth, kHeight, 32, videoFlags);
    if (!screen) {
        std::fprintf(stderr, "cannot open a GL window: %s\n", SDL_GetError());
        SDL_Quit();
        return 1;
    }
    glutInit(&argc, argv); // the HUD's fonts
    init();
    reshape(kWidth, kHeight);
    bool ok = true;

    // The start of a match: both balls have dropped in and the camera has
    // come down to them.
    newMatchOn("Green Basin");
    play(3.0f);
    ok = shoot(out + "/screenshot-start.png") && ok;

    // A hit: the two balls rolled into each other near the middle.
    newMatchOn("Rolling Dunes");
    play(2.5f);
    placeOnGround(players[0], 8.1f, 8.0f);
    placeOnGround(players[1], 6.9f, 8.0f);
    players[0].velocity = {-3.5f, 0, 0};
    players[1].velocity = {3.5f, 0, 0};
    const float before = lastCollisionTime;
    for (int frame = 0; frame < 120 && lastCollisionTime == before; ++frame)
        update(kStep);
    ok = expect(lastCollisionTime != before, "the balls never met") && ok;
    play(0.08f); // the sparks just flying apart
    ok = shoot(out + "/screenshot-hit.png") && ok;

    // Player 1 at the full stage of a growth boost (F11), twice its size.
    newMatchOn("Candy Bumps");
    play(2.0f);
    keyDown(SDLK_F11);
    play(4.5f);
    ok = expect(std::fabs(players[0].radius - 2 * players[0].radiusDefault) < 1e-4f,
                "player 1 did not grow to twice its size") &&
         ok;
    ok = shoot(out + "/screenshot-grown.png") && ok;

    // Player 1 has taken its fifth frag: the camera circles the winner.
    newMatchOn("Lava Ridge");
    play(2.5f);
    for (int frag = 0; frag < kFragTarget && endGame == 0; ++frag)
        fragAndRespawn(1);
    play(4.0f);
    ok = expect(endGame == 1 && winner == 0, "player 1 did not win") && ok;
    ok = shoot(out + "/screenshot-winner.png") && ok;

    cleanup();
    SDL_Quit();
    return ok ? 0 : 1;
}
