// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's shell: the SDL window and its events, the projection, and
// the frame loop from start-up to shut-down.

#include "core/fullscreen_sdl.h"

union SDL_Event;

void event(SDL_Event *event);
// The whole program: start-up, frame loop, shut-down. Returns the exit status.
int runGame(int argc, char **argv);
