#include "sim/powerup.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "audio/cues.h"
#include "core/state.h"
#include "core/vector.h"
#include "render/model.h"
#include "sim/frags.h"
#include "sim/particle.h"
#include "terrain/heightmap.h"

std::array<float, 3> rgb{1.0f, 1.0f, 1.0f};
float hval = 0.0f;
float ticker = 0.0f;

namespace
{

double uniform()
{
    return std::rand() / 2147483648.0;
}

// A spot in the middle 80 % of the field.
float spawnCoordinate()
{
    return static_cast<float>((uniform() * 0.8 + 0.1) * 150 * 0.1);
}

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
    ticker += seconds;

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

    if ((std::rand() & 3) == 0) {
        const vector explodedir =
            normalise(getVector(drop->x, drop->y, drop->z, player->x, centreY, player->z));
        createExplosion(drop->x, drop->y, drop->z, 0.3f, 5.0f, 0.9f, 0.9f, 0.5f, 0.9f, 0.7f, 0.0f);
        player->velocity = sumVectors(player->velocity, multiply(explodedir, 10.0f));
        player->grounded = 0;
        player->powerup = kPowerupNone;
        return -1;
    }

    player->powerup = std::rand() % 3 + 1;
    player->powerupActive = 1;
    player->powerupStage = 0.0f;
    player->powerupExpire = 15.0f;
    return player->powerup;
}

float getNextPowerupSpawn()
{
    return static_cast<float>(std::rand() % 10 + 15);
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

void endBoost(Player *player)
{
    player->powerupActive = 0;
    powerupActive = 0;
    nextPowerupSpawn = getNextPowerupSpawn();
}

void expirePowerup(Player *player)
{
    if (player->powerupActive == 1 && player->powerupExpire <= 0.0f)
        endBoost(player);
}

void collectPowerup(int player)
{
    if (powerup.active != 1)
        return;
    if (checkCollectPowerup(&powerup, &players[player]) == 0)
        return;

    powerupActive = 1;
    switch (players[player].powerup) {
    case kPowerupGrowth:
        playGrowth();
        addMessage("Growth !", player);
        break;
    case kPowerupSpeed:
        playSpeed();
        addMessage("Speed !", player);
        break;
    case kPowerupResistance:
        playResistance();
        addMessage("Resistance !", player);
        break;
    default:
        playBomb();
        addMessage("Bomb !", player);
        powerupActive = 0;
        nextPowerupSpawn = getNextPowerupSpawn();
        break;
    }
}

void spawnPowerupIfDue()
{
    if (powerupActive != 0 || powerup.active != 0 || nextPowerupSpawn > 0.0f)
        return;
    const float z = spawnCoordinate();
    const float x = spawnCoordinate();
    spawnPowerup(&powerup, x, 5.0f, z);
}

void countDownPowerups(float seconds)
{
    if (nextPowerupSpawn > 0.0f)
        nextPowerupSpawn -= seconds;
    for (Player &p : players) {
        if (p.powerupActive == 1)
            p.powerupExpire -= seconds;
    }
}
