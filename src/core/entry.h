#pragma once

// The program's shell: the SDL window and its events, the projection, and
// the frame loop from start-up to shut-down.

union SDL_Event;
struct SDL_Surface;

// Fields of game.shell (core/state.h).
extern int &videoFlags;
extern SDL_Surface *&screen;

void event(SDL_Event *event);
void reshape(int width, int height);
// The whole program: start-up, frame loop, shut-down. Returns the exit status.
int runGame(int argc, char **argv);
