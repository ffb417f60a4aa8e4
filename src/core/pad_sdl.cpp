// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/pad_sdl.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/pad.h"

static_assert(kHatUp == SDL_HAT_UP && kHatRight == SDL_HAT_RIGHT && kHatDown == SDL_HAT_DOWN &&
              kHatLeft == SDL_HAT_LEFT);

namespace
{

struct CloseJoystick {
    void operator()(SDL_Joystick *j) const { SDL_JoystickClose(j); }
};
std::vector<std::unique_ptr<SDL_Joystick, CloseJoystick>> opened;
std::array<PadButtons, kPadCount> buttons{padButtons(""), padButtons("")};

} // namespace

void openPads()
{
    resetPads();
    // Under sdl12-compat SDL2 would read some pads itself through hidraw and
    // number their buttons its own way; the kernel's numbering, the one
    // classic SDL 1.2 sees, is what padButtons() knows. A player's own
    // choice stands.
    setenv("SDL_JOYSTICK_HIDAPI", "0", 0);
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) < 0)
        return; // no pads then, the keyboard still plays
    const int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i) {
        const char *name = SDL_JoystickName(i);
        std::printf("Gamepad %d: %s\n", i + 1, name ? name : "(no name)");
        opened.emplace_back(SDL_JoystickOpen(i));
        namePad(i, name ? name : "");
    }
    SDL_JoystickEventState(SDL_ENABLE);
}

void closePads()
{
    opened.clear();
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

void namePad(int index, std::string_view name)
{
    if (index >= 0 && index < kPadCount)
        buttons[index] = padButtons(name);
}

std::optional<InputEvent> padInput(const SDL_Event &ev)
{
    switch (ev.type) {
    case SDL_JOYAXISMOTION:
        if (ev.jaxis.which < kPadCount && ev.jaxis.axis < 2)
            return InputEvent{InputKind::PadAxis, ev.jaxis.which, ev.jaxis.axis, ev.jaxis.value};
        break;
    case SDL_JOYHATMOTION:
        if (ev.jhat.which < kPadCount && ev.jhat.hat == 0)
            return InputEvent{InputKind::PadHat, ev.jhat.which, 0, ev.jhat.value};
        break;
    case SDL_JOYBUTTONDOWN:
        if (ev.jbutton.which < kPadCount) {
            const PadButtons b = buttons[ev.jbutton.which];
            if (ev.jbutton.button == b.start)
                return InputEvent{InputKind::PadButton, ev.jbutton.which, kPadButtonStart, 0};
            if (ev.jbutton.button == b.back)
                return InputEvent{InputKind::PadButton, ev.jbutton.which, kPadButtonBack, 0};
        }
        break;
    default:
        break;
    }
    return std::nullopt;
}
