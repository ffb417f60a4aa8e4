// The whole game set up as the entry does it (init, frames, cleanup) in a
// window squashed to nothing: a height of 0 keeps a usable projection and
// frames at 0 by 0 draw without fault. X refuses a 0 by 0 window, so the
// end-to-end test can only try; reshape is called directly here.

#include <gtest/gtest.h>

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <SDL.h>
#include <unistd.h>

#include <array>
#include <cmath>

#include "core/entry.h"
#include "core/game.h"
#include "core/state.h"
#include "gl/gl_context.h"
#include "render/display.h"
#include "sim/update.h"

namespace
{

std::array<float, 16> projection()
{
    std::array<float, 16> m{};
    glGetFloatv(GL_PROJECTION_MATRIX, m.data());
    return m;
}

class SquashedWindow : public ::testing::Test
{
  protected:
    static inline bool ready = false;

    static void SetUpTestSuite()
    {
        if (!gltest::openWindow(800, 600))
            return;
        int argc = 1;
        char name[] = "gl_test_squashed_window";
        char *argv[] = {name, nullptr};
        glutInit(&argc, argv);
        // The game reads everything from its working directory.
        if (chdir(QUORBLY_DATA_DIR) != 0)
            return;
        ::testing::internal::CaptureStdout();
        init();
        ::testing::internal::GetCapturedStdout();
        ready = true;
    }

    static void TearDownTestSuite()
    {
        if (ready)
            cleanup();
        ready = false;
    }

    void SetUp() override { ASSERT_TRUE(ready) << "no display (run under xvfb-run)"; }

    void frames(int n)
    {
        for (int i = 0; i < n; ++i) {
            update(0.02f);
            display(SDL_GetVideoSurface());
        }
        glFinish();
    }
};

} // namespace

TEST_F(SquashedWindow, NoHeightProjectsLikeOnePixel)
{
    reshape(800, 1);
    const auto one = projection();
    reshape(800, 0);
    const auto none = projection();
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 0);
    for (int i = 0; i < 16; ++i) {
        EXPECT_TRUE(std::isfinite(none[i])) << i;
        EXPECT_EQ(none[i], one[i]) << i;
    }
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 0);
}

TEST_F(SquashedWindow, FramesDrawAtEverySizeDownToNothingAndBackAgain)
{
    for (auto [width, height] : {std::pair{800, 0}, {0, 600}, {0, 0}, {1, 1}, {800, 600}}) {
        reshape(width, height);
        frames(5);
        EXPECT_TRUE(std::isfinite(cameraPos[0]) && std::isfinite(players[0].x))
            << width << "x" << height;
    }
    // Back at full size the arena is drawn again: not all black.
    reshape(800, 600);
    frames(3);
    const auto frame = gltest::readFrame(800, 600);
    long lit = 0;
    for (std::size_t i = 0; i < frame.size(); i += 4)
        lit += (frame[i] | frame[i + 1] | frame[i + 2]) != 0 ? 1 : 0;
    EXPECT_GT(lit, 800 * 600 / 10);
}
