// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/controls_sdl.h"

#include <SDL.h>

#include "core/keys.h"
#include "core/pad_sdl.h"

namespace
{

using namespace keys;
static_assert(kEscape == SDLK_ESCAPE && kSpace == SDLK_SPACE && kOne == SDLK_1 && kTwo == SDLK_2);
static_assert(kA == SDLK_a && kD == SDLK_d && kI == SDLK_i && kJ == SDLK_j && kK == SDLK_k &&
              kL == SDLK_l && kM == SDLK_m && kP == SDLK_p && kS == SDLK_s && kU == SDLK_u &&
              kW == SDLK_w);
static_assert(kKeypadMinus == SDLK_KP_MINUS && kKeypadPlus == SDLK_KP_PLUS);
static_assert(kUp == SDLK_UP && kDown == SDLK_DOWN && kRight == SDLK_RIGHT && kLeft == SDLK_LEFT);
static_assert(kHome == SDLK_HOME && kEnd == SDLK_END && kPageUp == SDLK_PAGEUP &&
              kPageDown == SDLK_PAGEDOWN);
static_assert(kF1 == SDLK_F1 && kF1 + 1 == SDLK_F2 && kF1 + 2 == SDLK_F3 && kF4 == SDLK_F4 &&
              kF5 == SDLK_F5 && kF6 == SDLK_F6 && kF7 == SDLK_F7 && kF8 == SDLK_F8 &&
              kF9 == SDLK_F9 && kF10 == SDLK_F10 && kF11 == SDLK_F11 && kF12 == SDLK_F12);

} // namespace

std::optional<InputEvent> inputOf(const SDL_Event &ev)
{
    if (ev.type != SDL_KEYDOWN && ev.type != SDL_KEYUP)
        return padInput(ev);
    const int key = ev.key.keysym.sym;
    if (!name(key))
        return std::nullopt;
    return InputEvent{ev.type == SDL_KEYDOWN ? InputKind::KeyDown : InputKind::KeyUp, 0, key, 0};
}
