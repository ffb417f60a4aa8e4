#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>

#include <cmath>

#include "core/entry.h"
#include "core/state.h"
#include "gl/gl_context.h"

namespace
{

struct Projection {
    GLfloat m[16];
    GLint viewport[4];
};

Projection afterReshape(int width, int height)
{
    reshape(width, height);
    Projection p{};
    glMatrixMode(GL_PROJECTION);
    glGetFloatv(GL_PROJECTION_MATRIX, p.m);
    glMatrixMode(GL_MODELVIEW);
    glGetIntegerv(GL_VIEWPORT, p.viewport);
    return p;
}

TEST(Reshape, ViewportProjectionAndSize)
{
    ASSERT_TRUE(gltest::openWindow());
    Projection p = afterReshape(1024, 768);
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768);
    EXPECT_EQ(p.viewport[2], 1024);
    EXPECT_EQ(p.viewport[3], 768);
    // 90 degrees vertically: the y scale is 1 and x is scaled by the aspect.
    EXPECT_NEAR(p.m[5], 1.0f, 1e-6f);
    EXPECT_NEAR(p.m[0], 768.0f / 1024.0f, 1e-6f);
    // near 0.01, far 100
    float n = 0.01f, f = 100.0f;
    EXPECT_NEAR(p.m[10], -(f + n) / (f - n), 1e-6f);
    EXPECT_NEAR(p.m[14], -2 * f * n / (f - n), 1e-6f);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST(Reshape, NoHeightStillGivesAFiniteProjection)
{
    ASSERT_TRUE(gltest::openWindow());
    Projection p = afterReshape(800, 0);
    EXPECT_EQ(h, 0);
    for (GLfloat v : p.m)
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_NEAR(p.m[0], 1.0f / 800.0f, 1e-7f); // as if one pixel high
    afterReshape(800, 600);
}

TEST(Event, KeysReachTheControlsAndOtherEventsAreIgnored)
{
    players = {};
    SDL_Event ev{};
    ev.type = SDL_KEYDOWN;
    ev.key.keysym.sym = SDLK_UP;
    event(&ev);
    EXPECT_EQ(players[0].pressy, 1);
    ev.type = SDL_KEYUP;
    event(&ev);
    EXPECT_EQ(players[0].pressy, 0);
    ev.type = SDL_MOUSEBUTTONDOWN;
    event(&ev);
    ev.type = SDL_ACTIVEEVENT;
    event(&ev);
    EXPECT_EQ(players[0].pressy, 0);
}

} // namespace
