#include <GL/gl.h>
#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
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
int main(int argc, char **argv)
{
    bench::Context ctx;
    ctx.terrainsFile = argc > 1 ? argv[1] : "terrains";

    // Without an X display SDL would fall back to a text-mode driver.
    const char *display = std::getenv("DISPLAY");
    if (display && *display && SDL_Init(SDL_INIT_VIDEO) == 0 &&
        SDL_SetVideoMode(64, 64, 32, SDL_OPENGL)) {
        ctx.gl = true;
        const char *renderer = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
        bench::note(std::string("gl_renderer ") + (renderer ? renderer : "(unknown)"));
    } else {
        if (SDL_WasInit(SDL_INIT_VIDEO))
            SDL_Quit();
        bench::note("no display: GL figures skipped");
    }

    bench::terrainFigures(ctx);

    if (ctx.gl)
        SDL_Quit();
    return 0;
}
