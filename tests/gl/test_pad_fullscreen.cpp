// SPDX-License-Identifier: GPL-3.0-or-later
// Gamepad events and Alt+Enter through the game's dispatch, on a game set up by init().

#include <GL/freeglut.h>
#include <SDL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>

#include "core/entry.h"
#include "core/game.h"
#include "core/pad_sdl.h"
#include "core/state.h"
#include "core/window_sdl.h"
#include "gl/gl_context.h"
#include "render/display.h"

namespace
{

// A joystick or key event; `value` is the axis, the hat or the key modifiers.
void send(Uint8 type, int which, int index, int value)
{
    SDL_Event e{};
    if (type == SDL_JOYAXISMOTION)
        e.jaxis = {type, Uint8(which), Uint8(index), Sint16(value)};
    else if (type == SDL_JOYHATMOTION)
        e.jhat = {type, Uint8(which), Uint8(index), Uint8(value)};
    else if (type == SDL_JOYBUTTONDOWN)
        e.jbutton = {type, Uint8(which), Uint8(index), SDL_PRESSED};
    else
        e.key = {type, 0, 0, {0, SDLKey(index), SDLMod(value), 0}};
    event(&e);
}

class Couch : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        videoFlags = SDL_OPENGL | SDL_DOUBLEBUF;
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        screen = SDL_SetVideoMode(800, 600, 32, videoFlags);
        ASSERT_NE(screen, nullptr);
        int argc = 1;
        char name[] = "gl_test_pad_fullscreen", *argv[] = {name, nullptr};
        glutInit(&argc, argv);
        ASSERT_EQ(chdir(QUORBLY_DATA_DIR), 0);
        init();
        reshape(800, 600);
    }
};

TEST_F(Couch, PadsSteerAndPressLikeKeys)
{
    namePad(1, "Microsoft X-Box 360 pad");
    const std::vector<std::tuple<Uint8, int, int, int, std::array<int, 5>>> steps{
        {SDL_JOYAXISMOTION, 0, 0, 10900, {0, 0, 0, 0, 0}}, // inside the dead zone
        {SDL_JOYAXISMOTION, 0, 0, 11000, {1, 0, 0, 0, 0}},
        {SDL_JOYAXISMOTION, 0, 0, 8000, {1, 0, 0, 0, 0}}, // held until well inside
        {SDL_JOYAXISMOTION, 0, 0, 7999, {0, 0, 0, 0, 0}},
        {SDL_JOYAXISMOTION, 0, 1, -20000, {0, 1, 0, 0, 0}},         // stick up is forward
        {SDL_JOYHATMOTION, 0, 0, SDL_HAT_LEFTUP, {-1, 1, 0, 0, 0}}, // stick and hat clamp
        {SDL_JOYAXISMOTION, 0, 1, 0, {-1, 1, 0, 0, 0}},
        {SDL_JOYHATMOTION, 1, 0, SDL_HAT_RIGHTDOWN, {-1, 1, 1, -1, 0}}, // pad 2: player 2
        {SDL_JOYHATMOTION, 0, 0, SDL_HAT_CENTERED, {0, 0, 1, -1, 0}},
        {SDL_KEYDOWN, 0, SDLK_d, 0, {0, 0, 1, -1, 0}},               // keys and pad add up, clamped
        {SDL_JOYHATMOTION, 1, 0, SDL_HAT_CENTERED, {0, 0, 1, 0, 0}}, // the key still holds
        {SDL_JOYAXISMOTION, 1, 0, -32768, {0, 0, 0, 0, 0}},
        {SDL_KEYUP, 0, SDLK_d, 0, {0, 0, -1, 0, 0}}, // the stick still holds
        {SDL_JOYAXISMOTION, 1, 0, 0, {0, 0, 0, 0, 0}},
        {SDL_JOYBUTTONDOWN, 0, 9, 0, {0, 0, 0, 0, 1}},  // Start on most pads
        {SDL_JOYBUTTONDOWN, 1, 7, 0, {0, 0, 0, 0, 0}}}; // Start on an Xbox pad
    for (const auto &[type, pad, index, value, expected] : steps) {
        send(type, pad, index, value);
        EXPECT_EQ((std::array{players[0].pressx, players[0].pressy, players[1].pressx,
                              players[1].pressy, togglePause}),
                  expected)
            << "event " << int(type) << " " << index << " " << value;
    }
    ::testing::internal::CaptureStdout();
    send(SDL_JOYBUTTONDOWN, 1, 6, 0); // Back
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("Loading Map"), std::string::npos);
}

TEST_F(Couch, AltEnterTwiceOrANewContextGiveTheSameFrame)
{
    const auto frame = [] { return display(screen), gltest::grab(800, 600).data; };
    const std::vector<std::uint8_t> before = frame();
    send(SDL_KEYDOWN, 0, SDLK_RETURN, 0); // ignored, or the next one would switch back
    send(SDL_KEYDOWN, 0, SDLK_RETURN, KMOD_LALT);
    EXPECT_TRUE((screen->flags & SDL_FULLSCREEN) && w == screen->w && h == screen->h);
    send(SDL_KEYDOWN, 0, SDLK_RETURN, KMOD_RALT);
    EXPECT_TRUE(frame() == before); // in the window again, at its size
    // A driver that makes a new context for the new mode: everything is rebuilt.
    screen = changeVideoMode(800, 600, videoFlags, [](int w, int h, int bpp, std::uint32_t f) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_InitSubSystem(SDL_INIT_VIDEO);
        return SDL_SetVideoMode(w, h, bpp, f);
    });
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(frame() == before);
}

// A pad made by the kernel, read by SDL's own joystick driver.
TEST_F(Couch, VirtualPadThroughUinput)
{
    const int fd = open("/dev/uinput", O_WRONLY);
    if (fd < 0)
        GTEST_SKIP() << "no virtual pad here: /dev/uinput: " << std::strerror(errno);
    uinput_user_dev dev{"Quorbly virtual pad", {BUS_VIRTUAL, 1, 1, 1}, 0, {}, {}, {}, {}};
    dev.absmin[ABS_X] = -(dev.absmax[ABS_X] = 32767);
    ASSERT_TRUE(ioctl(fd, UI_SET_EVBIT, EV_KEY) == 0 && ioctl(fd, UI_SET_KEYBIT, BTN_SOUTH) == 0 &&
                ioctl(fd, UI_SET_EVBIT, EV_ABS) == 0 && ioctl(fd, UI_SET_ABSBIT, ABS_X) == 0 &&
                ioctl(fd, UI_SET_ABSBIT, ABS_Y) == 0);
    ASSERT_TRUE(write(fd, &dev, sizeof dev) == sizeof dev && ioctl(fd, UI_DEV_CREATE) == 0);
    openPads();
    const bool alone = SDL_NumJoysticks() == 1 && std::strcmp(SDL_JoystickName(0), dev.name) == 0;
    const input_event push[] = {{{}, EV_ABS, ABS_X, 32767}, {{}, EV_SYN, SYN_REPORT, 0}};
    if (alone && write(fd, push, sizeof push) == sizeof push)
        for (SDL_Event e; SDL_PollEvent(&e);)
            event(&e);
    closePads();
    close(fd); // the kernel removes the pad with it
    if (!alone)
        GTEST_SKIP() << "SDL sees " << SDL_NumJoysticks() << " pads, not the virtual one alone";
    EXPECT_EQ(players[0].pressx, 1);
}

} // namespace
