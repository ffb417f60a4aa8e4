// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// SDL's events as the game's inputs.

#include <optional>

#include "core/input.h"

union SDL_Event;

// The input an SDL event is: a key the game knows going down or up, a pad's
// stick, d-pad or Start and Back buttons. Nothing for every other event.
std::optional<InputEvent> inputOf(const SDL_Event &ev);
