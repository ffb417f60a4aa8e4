// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Drawing the sparks of sim/particle.h: additive smoothed points.

// All live sparks in one batch.
void drawParticles(int particlesize);
// The plain form: one begin/end pair per point. Kept to check drawParticles
// against, pixel for pixel.
void drawParticlesOneByOne(int particlesize);
