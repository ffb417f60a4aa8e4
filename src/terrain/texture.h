#pragma once

#include <array>
#include <cstdint>

struct Terrain;

inline constexpr int kTextureSize = 512;
inline constexpr int kTexels = kTextureSize * kTextureSize;

extern std::array<unsigned char, kTexels> texture;
extern std::uint32_t seed;

float noise(int x, int y);
float interpolate(float a, float b, float x);
float interpolatedNoise(float x, float y);
float noise2d(float x, float y, float persistence);

// Fills `texture` for terrain t with the given noise seed, printing
// "Generating texture" and the progress dots.
void generateTexture(const Terrain& t, std::uint32_t noiseSeed);
