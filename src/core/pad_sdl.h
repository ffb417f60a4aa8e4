// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// SDL's joysticks as the game's gamepads.

#include <optional>
#include <string_view>

#include "core/input.h"

union SDL_Event;

// Opens SDL's joystick subsystem and every pad plugged in (SDL 1.2 can't
// hot-plug), printing "Gamepad N: NAME" for each.
void openPads();
void closePads();
// Pad `index` is called `name`: its Start and Back buttons follow the name.
void namePad(int index, std::string_view name);
// A joystick event as the game's input: the left stick and the d-pad of
// pads 1 and 2, their Start and Back (Select) buttons. Nothing for the rest.
std::optional<InputEvent> padInput(const SDL_Event &ev);
