#pragma once

// Setting the game up on a GL context, starting a match on a new terrain,
// and letting everything go at the end.

void init();
void newTerrain();
void cleanup();
