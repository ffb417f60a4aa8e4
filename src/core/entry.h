// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's shell: the SDL window and its events, the projection, and
// the frame loop from start-up to shut-down.

#include <optional>

#include "core/input.h"
#include "core/window_sdl.h"

union SDL_Event;

// Plays one SDL event: Alt+Enter switches the screen; a key or pad event
// the game knows is applied as its input, which is returned (a recording
// keeps it). A match it starts takes its noise seed from the clock.
std::optional<InputEvent> event(SDL_Event *event);
// The whole program: start-up, frame loop, shut-down. Returns the exit status.
int runGame(int argc, char **argv);
