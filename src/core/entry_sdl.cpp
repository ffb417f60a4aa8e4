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
#include "core/game.h"
#include "core/loop.h"
#include "core/state.h"
#include "render/display.h"
#include "sim/update.h"

int &videoFlags = game.shell.videoFlags;
SDL_Surface *&screen = game.shell.screen;

void event(SDL_Event *ev)
{
    switch (ev->type) {
    case SDL_KEYDOWN:
        keyDown(ev->key.keysym.sym);
        break;
    case SDL_KEYUP:
        keyUp(ev->key.keysym.sym);
        break;
    default:
        break;
    }
}

void reshape(int width, int height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A window squashed to no height still gets a usable projection.
    int aspectHeight = height > 0 ? height : 1;
    gluPerspective(90.0, static_cast<double>(width) / static_cast<double>(aspectHeight), 0.01,
                   100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    w = width;
    h = height;
}

namespace
{

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "Quorbly: %s: %s\n", what, SDL_GetError());
    SDL_Quit();
    std::exit(1);
}

} // namespace

int runGame(int argc, char **argv)
{
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    quit_flag = 0;
    videoFlags = SDL_OPENGL | SDL_RESIZABLE | SDL_DOUBLEBUF;

    // OpenGL needs an X display. Without one SDL would fall back to a text
    // console driver and GLUT would abort on its own, so say it plainly.
    const char *xDisplay = std::getenv("DISPLAY");
    if (!xDisplay || !*xDisplay) {
        std::fprintf(stderr, "Quorbly: cannot open a window: no X display (DISPLAY is not set)\n");
        return 1;
    }
    // Only X11 gives an OpenGL window; keep SDL from falling back to a
    // text console driver (a driver chosen by the user still wins).
    setenv("SDL_VIDEODRIVER", "x11", 0);
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_AUDIO | SDL_INIT_VIDEO) < 0) {
        std::fprintf(stderr, "Quorbly: cannot open a window on display '%s': %s\n", xDisplay,
                     SDL_GetError());
        return 1;
    }
    screen = SDL_SetVideoMode(800, 600, 32, videoFlags);
    if (!screen)
        fail("cannot open an 800x600 OpenGL window");
    glutInit(&argc, argv); // only for the HUD's bitmap fonts
    openAudio();           // without a device the game plays silently

    init();
    reshape(screen->w, screen->h);

    startFrameCount(SDL_GetTicks());
    std::uint32_t last_frame_time = frame_time;

    while (!quit_flag) {
        SDL_Event ev;
        while (SDL_PollEvent(&ev)) {
            if (ev.type == SDL_QUIT) {
                quit();
            } else if (ev.type == SDL_VIDEORESIZE) {
                SDL_Surface *resized = SDL_SetVideoMode(ev.resize.w, ev.resize.h, 32, videoFlags);
                if (resized) {
                    screen = resized;
                    reshape(screen->w, screen->h);
                }
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
    SDL_Quit();
    return 0;
}
