#include "gl/gl_context.h"

#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>

#include "render/glext_gl.h"

namespace gltest
{

namespace
{
bool open = false;
}

bool openWindow(int width, int height)
{
    if (open)
        return true;
    // A busy X server now and then refuses the first connection: try again.
    for (int attempt = 0;; ++attempt) {
        if (SDL_Init(SDL_INIT_VIDEO) == 0 &&
            SDL_SetVideoMode(width, height, 32, SDL_OPENGL | SDL_DOUBLEBUF))
            break;
        SDL_Quit();
        if (attempt == 20)
            return false;
        SDL_Delay(250);
    }
    loadGlExtensions();
    open = true;
    return true;
}

void closeWindow()
{
    if (open)
        SDL_Quit();
    open = false;
}

std::array<std::uint8_t, 4> pixel(int x, int y)
{
    std::array<std::uint8_t, 4> p{};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    return p;
}

std::vector<std::uint8_t> readFrame(int width, int height)
{
    std::vector<std::uint8_t> data(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, data.data());
    return data;
}

bool saveFrame(const char *path, int width, int height)
{
    std::vector<std::uint8_t> data = readFrame(width, height);
    std::FILE *f = std::fopen(path, "wb");
    if (!f)
        return false;
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x)
            std::fwrite(&data[(static_cast<size_t>(y) * width + x) * 4], 1, 3, f);
    std::fclose(f);
    return true;
}

} // namespace gltest
