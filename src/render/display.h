#pragma once

struct SDL_Surface;

void display(SDL_Surface *screen);
void DrawScene(int casters);
