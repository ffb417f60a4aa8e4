// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The terrain's display list, built from the height grid and its texture.

extern unsigned int terrainDisplayList;

// Generates the grid for the current terrain, then compiles its display list.
void initHeightMap(unsigned char *heightmap, unsigned int textureName);
void buildDisplayList(const unsigned char *heightmap, unsigned int textureName);
void drawHeightMapVertex(const unsigned char *heightmap, int i, int j);
void drawHeightMap(const unsigned char *heightmap);
void destroyHeightMap();
