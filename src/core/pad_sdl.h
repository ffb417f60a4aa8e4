// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

union SDL_Event;

// Opens SDL's joystick subsystem and every pad plugged in (SDL 1.2 can't
// hot-plug), printing "Gamepad N: NAME" for each.
void openPads();
void closePads();
// Pad `index` is called `name`: its Start and Back buttons follow the name.
void namePad(int index, std::string_view name);
// A joystick event: the left stick and the d-pad steer, Start presses
// Space and Back (Select) F1. Other events are ignored.
void padEvent(const SDL_Event &ev);
