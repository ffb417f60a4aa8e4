#pragma once

#include "core/vector.h"

struct Player;
struct Terrain;

inline constexpr int kGridSize = 151;                    // samples per side
inline constexpr int kGridCells = 150;                   // cells per side
inline constexpr int kGridPoints = kGridSize * kGridSize;  // 22801

// Fills the grid for terrain t with its random circles (draws rand()),
// printing "Generating terrain" and the progress dots.
void generateHeightMap(unsigned char* heightmap, const Terrain& t);
float getAverageHeight(const unsigned char* heightmap);

float getHeight(const unsigned char* heightmap, int x, int y);
int inRange(const unsigned char* heightmap, float x, float y);
float getRealHeight(const unsigned char* heightmap, float x, float y);
int playerInRange(const unsigned char* heightmap, Player player);

// Smoothed normal of grid point (i, j) from its four neighbours.
vector heightMapNormal(const unsigned char* heightmap, int i, int j);
