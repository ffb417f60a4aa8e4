// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The frame: the shadow pass, the scene from the camera (or the winner's
// orbit, or the light) and the HUD over it.

struct SDL_Surface;

void display(SDL_Surface *screen);
void DrawScene(int casters);
