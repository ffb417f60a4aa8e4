// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The terrain's noise texture, generated from a seed.

#include <array>
#include <cstdint>
#include <cstdio>

struct Terrain;

inline constexpr int kTextureSize = 512;
inline constexpr int kTexels = kTextureSize * kTextureSize;

// The texels and their noise seed, fields of the game state (core/state.h).
extern std::array<unsigned char, kTexels> &texture;
extern std::uint32_t &seed;
// Fields of the game state: whether the command line fixed the noise seed, and
// the seed the next texture takes then.
extern bool &noiseSeedFixed;
extern std::uint32_t &fixedNoiseSeed;

float noise(int x, int y);
float interpolate(float a, float b, float x);
float interpolatedNoise(float x, float y);
float noise2d(float x, float y, float persistence);

// The noise seed of the next texture: the tick count at `ticks`, unless
// fixNoiseSeed(n) was called (--seed); then n, n + 1, ... in turn, so the
// terrains still differ from match to match but a rerun paints them alike.
void fixNoiseSeed(std::uint32_t first);
std::uint32_t nextNoiseSeed(std::uint32_t ticks);

// Texel value for a noise sum n in [-1, 1] and the terrain's noiseRange.
unsigned char texelValue(float n, int range);

// Fills `texture` for terrain t with the given noise seed, printing
// "Generating texture" and the progress dots.
void generateTexture(const Terrain &t, std::uint32_t noiseSeed, std::FILE *progress = stdout);
// The plain form, noise2d for every texel: same output, kept to check
// generateTexture against and to measure it by.
void generateTextureReference(const Terrain &t, std::uint32_t noiseSeed,
                              std::FILE *progress = stdout);
