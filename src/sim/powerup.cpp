// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/powerup.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/clock.h"
#include "core/random.h"
#include "core/vector.h"
#include "render/model.h"
#include "sim/particle.h"
#include "sim/player.h"
#include "terrain/heightmap.h"

namespace
{

// Hue to RGB at saturation 0.85, lightness 0.5.
void hueToRgb(float hvalDegrees)
{
    const float hue = hvalDegrees / 360.0f;
    constexpr float q = 0.925f;
    constexpr float p = 1.0f - q;
    const std::array<float, 3> channels{hue + 1.0f / 3.0f, hue, hue - 1.0f / 3.0f};
    for (std::size_t i = 0; i < channels.size(); ++i) {
        float t = channels[i];
        if (t < 0.0f)
            t += 1.0f;
        if (t > 1.0f)
            t -= 1.0f;
        float c;
        if (t < 1.0f / 6.0f)
            c = p + (q - p) * 6.0f * t;
        else if (t < 1.0f / 2.0f)
            c = q;
        else if (t < 2.0f / 3.0f)
            c = p + (q - p) * (2.0f / 3.0f - t) * 6.0f;
        else
            c = p;
        rgb[i] = c;
    }
}

} // namespace

void initPowerup(Powerup *drop)
{
    initPower();
    resetPowerup(drop);
}

void resetPowerup(Powerup *drop)
{
    drop->active = 0;
}

void spawnPowerup(Powerup *drop, float x, float y, float z)
{
    rgb = {1.0f, 1.0f, 1.0f};
    drop->x = x;
    drop->y = y;
    drop->z = z;
    drop->velocity = {0.0f, 0.0f, 0.0f};
    drop->grounded = 0;
    drop->active = 1;
}

void updatePowerup(Powerup *drop, const unsigned char *grid, float gravity, float seconds)
{
    const float acceleration = -gravity * 0.1f;
    if (drop->active == 0)
        return;
    addTime(ticker, tickerClock, seconds);

    if (drop->grounded == 0) {
        // Moves with last frame's velocity, so the spawn frame leaves it in place.
        const float ground = getRealHeight(grid, drop->x, drop->z);
        drop->x += drop->velocity.x * seconds;
        drop->y += drop->velocity.y * seconds;
        drop->z += drop->velocity.z * seconds;
        if (drop->y <= ground) {
            drop->y = ground;
            drop->grounded = 1;
        } else {
            drop->velocity.y += acceleration * seconds;
        }
        return;
    }

    // fmod is exact, and what subtracting 360 until below gives wherever
    // that is exact too; it does not slow down as the ticker grows.
    hval = std::fmod(ticker * 180.0f, 360.0f);
    hueToRgb(hval);
}

int checkCollectPowerup(Powerup *drop, Player *player)
{
    if (drop->active == 0)
        return 0;
    const float centreY = player->y + player->radius;
    const float distance =
        magnitude(getVector(drop->x, drop->y + 0.5f, drop->z, player->x, centreY, player->z));
    if (distance > player->radius + 0.2f)
        return 0;

    drop->active = 0;

    if ((gameRand() & 3) == 0) {
        const vector explodedir =
            normalise(getVector(drop->x, drop->y, drop->z, player->x, centreY, player->z));
        createExplosion(drop->x, drop->y, drop->z, 0.3f, 5.0f, 0.9f, 0.9f, 0.5f, 0.9f, 0.7f, 0.0f);
        player->velocity = sumVectors(player->velocity, multiply(explodedir, 10.0f));
        player->grounded = 0;
        player->powerup = kPowerupNone;
        return -1;
    }

    player->powerup = gameRand() % 3 + 1;
    player->powerupActive = 1;
    player->powerupStage = 0.0f;
    player->powerupExpire = 15.0f;
    return player->powerup;
}

float getNextPowerupSpawn()
{
    return static_cast<float>(gameRand() % 10 + 15);
}

void applyPowerupEffect(Player *player)
{
    const float s = player->powerupStage;
    switch (player->powerup) {
    case kPowerupGrowth:
        player->radius = player->radiusDefault * (1.0f + s);
        player->mass = player->massDefault * (1.0f + 0.5f * s);
        break;
    case kPowerupSpeed:
        player->acceleration = player->accelerationDefault * (1.0f + 0.5f * s);
        player->maxSpeed = player->maxSpeedDefault * (1.0f + 0.5f * s);
        break;
    case kPowerupResistance:
        player->resistance = 0.5f * s;
        break;
    default:
        break;
    }
}

void stagePowerupEffect(Player *player, float seconds)
{
    const float step = seconds * 0.25f;
    if (player->powerupActive == 1 && player->powerupStage < 1.0f) {
        player->powerupStage += std::min(1.0f - player->powerupStage, step);
        applyPowerupEffect(player);
    } else if (player->powerupActive == 0 && player->powerupStage > 0.0f) {
        player->powerupStage -= std::min(player->powerupStage, step);
        applyPowerupEffect(player);
    }
}
