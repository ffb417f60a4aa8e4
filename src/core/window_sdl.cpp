// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/window_sdl.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "core/game.h"
#include "core/state.h"
#include "render/figures.h"
#include "render/glext_gl.h"
#include "render/view_gl.h"
#include "terrain/mesh_gl.h"
#include "terrain/texture_gl.h"

int videoFlags = 0;
SDL_Surface *screen = nullptr;
int windowWidth = 800, windowHeight = 600;

namespace
{

// The desktop's size: the largest full-screen mode, so the mode does not change.
void fullscreenSize(int &width, int &height)
{
    SDL_Rect **modes = SDL_ListModes(nullptr, SDL_OPENGL | SDL_FULLSCREEN);
    if (modes && modes != reinterpret_cast<SDL_Rect **>(-1) && modes[0]) {
        width = modes[0]->w;
        height = modes[0]->h;
    }
}

} // namespace

SDL_Surface *openScreen(int width, int height, bool fullscreen)
{
    windowWidth = width;
    windowHeight = height;
    if (fullscreen) {
        videoFlags |= SDL_FULLSCREEN;
        fullscreenSize(width, height);
        SDL_ShowCursor(SDL_DISABLE); // nothing to point at on the television
    }
    return SDL_SetVideoMode(width, height, 32, videoFlags);
}

bool isFullscreenKey(int sym, int mod)
{
    return (sym == SDLK_RETURN || sym == SDLK_KP_ENTER) && (mod & KMOD_ALT) != 0;
}

void toggleFullscreen()
{
    const bool full = (videoFlags & SDL_FULLSCREEN) == 0;
    int width = windowWidth, height = windowHeight;
    if (full) {
        windowWidth = screen->w;
        windowHeight = screen->h;
        fullscreenSize(width, height);
    }
    const std::uint32_t flags = static_cast<std::uint32_t>(videoFlags) ^ SDL_FULLSCREEN;
    SDL_Surface *s = changeVideoMode(width, height, flags, SDL_SetVideoMode);
    if (s) {
        videoFlags = static_cast<int>(flags);
    } else {
        std::fprintf(stderr, "Quorbly: cannot switch to %s: %s\n",
                     full ? "full screen" : "a window", SDL_GetError());
        s = changeVideoMode(windowWidth, windowHeight, videoFlags, SDL_SetVideoMode);
        if (!s) {
            std::fprintf(stderr, "Quorbly: lost the window: %s\n", SDL_GetError());
            SDL_Quit();
            std::exit(1);
        }
    }
    screen = s;
    SDL_ShowCursor((videoFlags & SDL_FULLSCREEN) ? SDL_DISABLE : SDL_ENABLE);
}

SDL_Surface *changeVideoMode(int width, int height, std::uint32_t flags, VideoModeSetter set)
{
    // An empty display list marks the context: gone after the change, every
    // GL object went with it.
    const GLuint marker = glGenLists(1);
    glNewList(marker, GL_COMPILE);
    glEndList();
    SDL_Surface *s = set(width, height, 32, flags);
    if (s && marker != 0 && !glIsList(marker))
        rebuildGl();
    else
        glDeleteLists(marker, 1);
    if (s)
        reshape(s->w, s->h);
    return s;
}

void rebuildGl()
{
    loadGlExtensions();
    // The figures first: they release their old lists by name, which in the
    // new context could already belong to something made here.
    prepareFigures();
    setupGl();
    textureName = uploadTexture(); // the texels of this match are still in memory
    terrainDisplayList = glGenLists(1);
    buildDisplayList(heightmap.data(), textureName);
    setupShadowMap();
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

int openWindow(int width, int height, bool fullscreen)
{
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
    // Audio starts in openAudio(), which goes on without a device.
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) < 0) {
        if (driverChosen)
            std::fprintf(stderr, "Quorbly: cannot open a window with video driver '%s': %s\n",
                         chosenDriver, SDL_GetError());
        else
            std::fprintf(stderr, "Quorbly: cannot open a window on display '%s': %s\n", xDisplay,
                         SDL_GetError());
        return 1;
    }
    screen = openScreen(width, height, fullscreen);
    if (!screen) {
        std::fprintf(stderr, "Quorbly: cannot open the %dx%d OpenGL window: %s\n", width, height,
                     SDL_GetError());
        SDL_Quit();
        return 1;
    }
    return -1;
}
