// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The terrain definitions of the "terrains" file and the choice of the next
// one.

#include <array>
#include <cstdio>
#include <vector>

// One terrain definition: a line of the "terrains" file.
struct Terrain {
    std::array<char, 20> name;
    float circlesPerCell;
    float circleSizeMin;
    float circleSizeMax;
    float circleHeight;
    float circleHeightFactor;
    int invert;
    float gravity;
    float friction;
    std::array<float, 4> diffuse;
    std::array<float, 4> ambient;
    float noisePersistence;
    int noiseRange;
};

inline constexpr int kTerrainFields = 17;
inline constexpr int kTerrainLineMax = 200;
// Gravity and friction further from 0 than this make a line no terrain.
inline constexpr double kTerrainForceMax = 10000;

// The definitions as loaded: an asset, read once.
extern std::vector<Terrain> terrains;
extern int numTerrains;
// The choice, a field of the game state (core/state.h): the terrain now
// played and the two before it.
extern int &terrainCurrent;
extern int &oldTerrain;
extern int &oldTerrain2;
// A terrain picked for the next match instead of a drawn one; -1 for none.
extern int &terrainChosenNext;

// Reads one line; 1 whole line, 0 cut or unterminated, -1 at end of file.
int fileReadLine(char *input, int maxLength, std::FILE *filestream);
void freadRestOfLine(std::FILE *stream);

// Loads the definitions; prints the reason and returns false when the file
// is missing or holds no terrain.
bool loadTerrains(const char *filename);
// As loadTerrains, but the game cannot go on without terrains: exit status 1.
void readTerrains(const char *filename);
void destroyTerrains();
// Picks the next terrain, never one of the two before it.
Terrain *newMap();
// The next newMap picks terrain `index` instead of drawing one (--terrain).
void chooseNextTerrain(int index);
// Forgets the previous choices (start of the program).
void resetTerrainChoice();
