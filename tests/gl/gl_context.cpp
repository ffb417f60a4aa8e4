// SPDX-License-Identifier: GPL-3.0-or-later
#include "gl/gl_context.h"
#include "core/random.h"

#include <GL/freeglut.h>
#include <unistd.h>

#include <cstdlib>

namespace gltest
{

namespace
{

struct Start {
    unsigned int ball, terrain, powerup;
    int shaders, noShadows;
    std::string errors;
    GLint framebuffer; // the window's: 0 on SDL 1.2, one of its own on sdl12-compat
};

// Opens the window as the entry does (audio on SDL's silent driver), once per
// process, and runs the game's own init() from the data directory.
const Start &startGame()
{
    static const Start start = [] {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        // A busy X server now and then refuses the first connection.
        for (int attempt = 0; SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO) != 0 ||
                              !SDL_SetVideoMode(1024, 768, 32, SDL_OPENGL | SDL_DOUBLEBUF);
             ++attempt) {
            SDL_Quit();
            if (attempt == 20) {
                ADD_FAILURE() << "no display (run under xvfb-run)";
                std::exit(1);
            }
            SDL_Delay(250);
        }
        int argc = 1;
        char name[] = "gl_test", *argv[] = {name, nullptr};
        glutInit(&argc, argv);
        openAudio();
        if (chdir(QUORBLY_DATA_DIR) != 0)
            std::exit(1);
        seedGameRand(5);
        GLint framebuffer = -1;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        init();
        ::testing::internal::GetCapturedStdout();
        return Start{programBall,      programTerrain,  programPowerup,
                     shadersSupported, shadowsDisabled, ::testing::internal::GetCapturedStderr(),
                     framebuffer};
    }();
    return start;
}

} // namespace

std::string initErrors()
{
    return startGame().errors;
}

GLint windowFramebuffer()
{
    return startGame().framebuffer;
}

Frame grab(int width, int height)
{
    Frame f{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4)};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, f.data.data());
    return f;
}

int differing(const Frame &a, const Frame &b, int threshold)
{
    int n = 0;
    for (std::size_t i = 0; i < a.data.size(); i += 4)
        n += std::abs(a.data[i] - b.data[i]) + std::abs(a.data[i + 1] - b.data[i + 1]) +
                 std::abs(a.data[i + 2] - b.data[i + 2]) >
             threshold;
    return n;
}

void Game::SetUp()
{
    const Start &s = startGame();
    programBall = s.ball;
    programTerrain = s.terrain;
    programPowerup = s.powerup;
    shadersSupported = s.shaders;
    shadowsDisabled = s.noShadows;
    toggleShadows = shadowsDisabled ? 0 : 1;
    toggleMultiShadows = toggleHUD = 1;
    toggleLightView = togglePause = toggleBot = 0;
    glClearColor(0, 0, 0, 0);
    reshape(kW, kH);
    beginMatch();
    setupPlayers();
    display(nullptr); // the state a frame leaves behind, as in the game
    ASSERT_TRUE(shadersSupported && toggleShadows) << "this renderer has no shaders or shadows";
}

} // namespace gltest
