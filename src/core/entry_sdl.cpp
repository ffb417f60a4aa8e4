// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/entry.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "audio/sound.h"
#include "core/controls.h"
#include "core/controls_sdl.h"
#include "core/fullscreen_sdl.h"
#include "core/game.h"
#include "core/loop.h"
#include "core/match.h"
#include "core/options.h"
#include "core/pad_sdl.h"
#include "core/state.h"
#include "render/display.h"
#include "sim/update.h"
#include "terrain/texture.h"

int &videoFlags = game.shell.videoFlags;
SDL_Surface *&screen = game.shell.screen;

std::optional<InputEvent> event(SDL_Event *ev)
{
    if (ev->type == SDL_KEYDOWN && isFullscreenKey(ev->key.keysym.sym, ev->key.keysym.mod)) {
        toggleFullscreen();
        return std::nullopt;
    }
    const std::optional<InputEvent> input = inputOf(*ev);
    if (input) {
        if (startsMatch(*input))
            queueNoiseSeed(nextNoiseSeed(SDL_GetTicks()));
        applyInput(*input);
    }
    return input;
}

int runGame(int argc, char **argv)
{
    const CommandLine cl = takeOptions(argc, argv);
    if (cl.exitStatus >= 0) {
        std::fputs(cl.message.c_str(), cl.exitStatus == 0 ? stdout : stderr);
        return cl.exitStatus;
    }
    const Options &options = cl.options;
    if (const int status = startOptions(options); status >= 0)
        return status;
    std::srand(options.seed ? *options.seed : static_cast<unsigned>(std::time(nullptr)));
    quit_flag = 0;
    videoFlags = SDL_OPENGL | SDL_RESIZABLE | SDL_DOUBLEBUF;

    // A video driver the user chose is used as it is. Otherwise OpenGL needs
    // an X display: without one SDL would fall back to a text console driver
    // and GLUT would abort on its own, so say it plainly.
    const char *chosenDriver = std::getenv("SDL_VIDEODRIVER");
    const bool driverChosen = chosenDriver && *chosenDriver;
    const char *xDisplay = std::getenv("DISPLAY");
    const bool haveDisplay = xDisplay && *xDisplay;
    if (!driverChosen && !haveDisplay) {
        std::fprintf(stderr, "Quorbly: cannot open a window: no X display (DISPLAY is not set)\n");
        return 1;
    }
    if (!driverChosen)
        setenv("SDL_VIDEODRIVER", "x11", 1);
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_AUDIO | SDL_INIT_VIDEO) < 0) {
        if (driverChosen)
            std::fprintf(stderr, "Quorbly: cannot open a window with video driver '%s': %s\n",
                         chosenDriver, SDL_GetError());
        else
            std::fprintf(stderr, "Quorbly: cannot open a window on display '%s': %s\n", xDisplay,
                         SDL_GetError());
        return 1;
    }
    screen = openScreen(options.width, options.height, options.fullscreen);
    if (!screen) {
        std::fprintf(stderr, "Quorbly: cannot open the %dx%d OpenGL window: %s\n", options.width,
                     options.height, SDL_GetError());
        SDL_Quit();
        return 1;
    }
    openPads();
    glutInit(&argc, argv); // only for the HUD's bitmap fonts
    openAudio();           // without a device the game plays silently

    queueNoiseSeed(nextNoiseSeed(SDL_GetTicks())); // the first match's texture
    init();
    if (options.bot)
        toggleBot = 1;
    reshape(screen->w, screen->h);

    startFrameCount(SDL_GetTicks());
    std::uint32_t last_frame_time = frame_time;

    while (!quit_flag) {
        SDL_Event ev;
        while (SDL_PollEvent(&ev)) {
            if (ev.type == SDL_QUIT) {
                quit();
            } else if (ev.type == SDL_VIDEORESIZE) {
                SDL_Surface *resized =
                    changeVideoMode(ev.resize.w, ev.resize.h, videoFlags, SDL_SetVideoMode);
                if (resized)
                    screen = resized;
            } else {
                event(&ev);
            }
        }

        std::uint32_t now = SDL_GetTicks();
        if (now != last_frame_time)
            update(elapsedSeconds(now, last_frame_time));
        last_frame_time = now;

        display(screen);
        SDL_GL_SwapBuffers();
        countFrame(now);
    }

    cleanup();
    closePads();
    SDL_Quit();
    return 0;
}
