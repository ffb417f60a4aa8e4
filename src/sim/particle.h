// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The pool of sparks: trails behind the balls and bursts on hits and bombs.

#include <array>

#include "core/vector.h"

struct Particle {
    int active;
    float life;
    float fade;
    float r, g, b;
    float x, y, z;
    vector velocity;
    bool operator==(const Particle &) const = default;
};

inline constexpr int kParticleCount = 2500;

// The pool of sparks and the slot the next one takes (fields of game.match).
extern std::array<Particle, kParticleCount> &particles;
extern int &nextParticle;

void initParticles();
void createTrail(float x, float y, float z, vector direction, int number, float timetolive,
                 float r1, float g1, float b1, float r2, float g2, float b2);
void createExplosion(float x, float y, float z, float size, float timetolive, float r1, float g1,
                     float b1, float r2, float g2, float b2);
// getRealHeight at every slot's x, z, live or not, into (*ground)[slot]:
// the ground that updateParticles measures each particle against.
void groundUnderParticles(const unsigned char *heightmap,
                          std::array<float, kParticleCount> *ground);
void updateParticles(const unsigned char *heightmap, float gravity, float seconds);
