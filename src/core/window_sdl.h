// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The game's window: opening it, full screen, the projection, and GL made again for a new context.

#include <cstdint>

struct SDL_Surface;

// The video mode's flags and the window's surface, as SDL made them.
extern int videoFlags;
extern SDL_Surface *screen;

// The viewport and projection for a window of that size.
void reshape(int width, int height);

// SDL started and the game's window opened (openScreen), or the reason
// printed in one line: returns -1 to play on, else the exit status.
int openWindow(int width, int height, bool fullscreen);
// Opens the game's window of that size, or the full screen, and remembers
// the window's size for the way back from full screen.
SDL_Surface *openScreen(int width, int height, bool fullscreen);
// Alt+Enter; Enter alone stays ignored.
bool isFullscreenKey(int sym, int mod);
// Switches between the window and the full screen (screen, videoFlags, the
// projection follow).
void toggleFullscreen();

// SDL_SetVideoMode, or a stand-in for it in the tests.
using VideoModeSetter = SDL_Surface *(*)(int width, int height, int bpp, std::uint32_t flags);
// A new video mode, and the projection for its size. Some drivers make a new
// GL context for it; then every GL object the game holds is made again.
SDL_Surface *changeVideoMode(int width, int height, std::uint32_t flags, VideoModeSetter set);
void rebuildGl();

// The window's size out of full screen.
extern int windowWidth;
extern int windowHeight;
