// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/collision.h"

#include <cmath>

#include "audio/cues.h"
#include "core/state.h"
#include "sim/particle.h"

namespace
{

// No second hit is handled within a quarter second of game time.
constexpr float kCollisionCoolDown = 0.25f;
} // namespace

bool loudBump(float optimisedP)
{
    return optimisedP > 5.0f;
}

float collision(Player *a, Player *b)
{
    const vector ab = getVector(a->x, a->y + a->radius, a->z, b->x, b->y + b->radius, b->z);
    const float distance = magnitude(ab);
    const float radiusSum = a->radius + b->radius;
    const float separation = distance - radiusSum;

    // a moves relative to b while b stands still.
    const vector movement = subVectors(a->movement, b->movement);
    const vector movementN = normalise(movement);
    const float moved = magnitude(movement);

    if (gameTime - lastCollisionTime < kCollisionCoolDown)
        return -1;
    if (moved < separation)
        return -1;
    if (dotProduct(ab, movement) <= 0)
        return -1;

    const float closest = dotProduct(movementN, ab);
    // Along the line of centres rounding can leave this a hair below zero;
    // a root of that would be NaN and the hit would have no time.
    const float offLineSq = std::fmax(distance * distance - closest * closest, 0.0f);
    const float distanceToClosest = std::sqrt(offLineSq);
    if (distanceToClosest > radiusSum)
        return -1;
    const float distanceToHit =
        closest - std::sqrt(radiusSum * radiusSum - distanceToClosest * distanceToClosest);
    if (moved < distanceToHit)
        return -1;
    const float collisionTime = distanceToHit / moved;

    // Elastic exchange along the line of centres.
    const vector abN = normalise(ab);
    const float a1 = dotProduct(a->velocity, abN);
    const float a2 = dotProduct(b->velocity, abN);
    const float optimisedP = 2 * (a1 - a2) / (a->mass + b->mass);
    const vector v1new = subVectors(a->velocity, multiply(abN, b->mass * optimisedP));
    const vector v2new = sumVectors(b->velocity, multiply(abN, a->mass * optimisedP));

    // Both fly; a resistance boost damps the doubled rebound.
    a->grounded = 0;
    b->grounded = 0;
    a->velocity = multiply(v1new, 2 * (1 - a->resistance));
    b->velocity = multiply(v2new, 2 * (1 - b->resistance));

    const float sparks = optimisedP / 15;
    createExplosion((a->x + b->x) / 2, (a->y + a->radius + b->y + b->radius) / 2, (a->z + b->z) / 2,
                    sparks * sparks, 5.0f, 0.9f, 0.9f, 0.0f, 0.9f, 0.4f, 0.0f);
    if (loudBump(optimisedP))
        playBump();
    else
        playBumpSmall();

    lastCollisionTime = gameTime;
    return collisionTime;
}
