// SPDX-License-Identifier: GPL-3.0-or-later
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "bench.h"

namespace bench
{

void figure(const char *key, double value)
{
    if (value == std::floor(value))
        std::printf("%s %.0f\n", key, value);
    else
        std::printf("%s %.3f\n", key, value);
}

void note(const std::string &text)
{
    std::printf("# %s\n", text.c_str());
}

QuietStdout::QuietStdout()
{
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
        dup2(null, STDOUT_FILENO);
        close(null);
    }
}

QuietStdout::~QuietStdout()
{
    std::fflush(stdout);
    if (saved_ >= 0) {
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
    }
}

} // namespace bench

// quorbly-bench [terrains-file]: run from data/, or name the definitions file.
// quorbly-bench --frame-parts: draws the frames that bench/frame-parts.sh
// counts under callgrind, and nothing else.
int main(int argc, char **argv)
{
    bench::Context ctx;
    ctx.frameParts = argc > 1 && std::string(argv[1]) == "--frame-parts";
    ctx.terrainsFile = argc > 1 && !ctx.frameParts ? argv[1] : "terrains";

    if (!ctx.frameParts)
        bench::replayFigures(ctx);

    // Without an X display SDL would fall back to a text-mode driver. The
    // window is the game's own: 800x600, double-buffered, resizable. A busy
    // X server now and then refuses a first connection: try again.
    const char *display = std::getenv("DISPLAY");
    for (int attempt = 0; display && *display && attempt < 20 && !ctx.gl; ++attempt) {
        if (SDL_Init(SDL_INIT_VIDEO) == 0 &&
            SDL_SetVideoMode(800, 600, 32, SDL_OPENGL | SDL_RESIZABLE | SDL_DOUBLEBUF)) {
            ctx.gl = true;
            break;
        }
        SDL_Quit();
        SDL_Delay(250);
    }
    if (ctx.gl) {
        glutInit(&argc, argv); // the HUD's bitmap fonts, as in the game
        const char *renderer = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
        bench::note(std::string("gl_renderer ") + (renderer ? renderer : "(unknown)"));
    } else {
        bench::note("no display: GL figures skipped");
    }

    if (ctx.frameParts) {
        bench::gameFigures(ctx);
    } else {
        bench::terrainFigures(ctx);
        bench::gameFigures(ctx);
        bench::startupFigures(ctx);
    }

    if (ctx.gl)
        SDL_Quit();
    return 0;
}
