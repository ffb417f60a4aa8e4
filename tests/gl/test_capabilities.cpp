// SPDX-License-Identifier: GPL-3.0-or-later
// A driver that lacks some entry points loses only what needs them.
#include <gtest/gtest.h>

#include <SDL.h>

#include <string>
#include <string_view>

#include "core/game.h"
#include "core/state.h"
#include "gl/gl_context.h"

namespace
{
void *withoutFramebuffers(const char *name)
{
    return std::string_view(name).find("Framebuffer") != std::string_view::npos
               ? nullptr
               : SDL_GL_GetProcAddress(name);
}
void *withoutLinking(const char *name)
{
    return std::string_view(name) == "glLinkProgram" ? nullptr : SDL_GL_GetProcAddress(name);
}
} // namespace

TEST(Capabilities, MissingEntryPointsSwitchOffOnlyWhatNeedsThem)
{
    gltest::initErrors(); // the window, and the game set up in the data directory
    struct Case {
        void *(*lookup)(const char *);
        bool shaders, shadows;
    };
    for (const Case c : {Case{withoutFramebuffers, true, false}, Case{withoutLinking, false, false},
                         Case{nullptr, true, true}}) {
        resetGameState();
        testing::internal::CaptureStdout();
        setupCapabilities(c.lookup);
        setupGl();
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find(c.shaders ? "Shaders: Supported\n" : "Shaders: Not supported"),
                  std::string::npos)
            << out;
        EXPECT_NE(out.find(c.shadows ? "Shadows: Supported\n" : "Shadows: Not supported"),
                  std::string::npos)
            << out;
        EXPECT_EQ(shadowsDisabled, c.shadows ? 0 : 1);
        EXPECT_EQ(toggleShadows, c.shadows ? 1 : 0);
        for (unsigned program : {programBall, programTerrain, programPowerup})
            EXPECT_EQ(program != 0, c.shaders);
    }
    // Without shaders there are no shadows, whatever else the driver offers.
    probeCapabilities("GL_ARB_depth_texture GL_EXT_framebuffer_object GL_ARB_multitexture");
    EXPECT_EQ(shadowsDisabled, 1);
    EXPECT_EQ(toggleShadows, 0);
}
