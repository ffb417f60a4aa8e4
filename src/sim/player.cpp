// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/player.h"

#include <cmath>

#include "terrain/heightmap.h"

int playerInRange(const unsigned char *grid, Player player)
{
    return inRange(grid, player.x, player.z);
}

void initPlayer(Player *player, float red, float green, float blue, float redHamster,
                float greenHamster, float blueHamster, float x, float y, float z)
{
    player->diffuse = {red, green, blue, 1.0f};
    player->ambient = {red / 2, green / 2, blue / 2, 1.0f};
    player->diffuseHamster = {redHamster, greenHamster, blueHamster, 1.0f};
    player->ambientHamster = {redHamster / 2, greenHamster / 2, blueHamster / 2, 1.0f};
    player->radiusDefault = 0.25f;
    player->massDefault = 1.0f;
    player->maxSpeedDefault = 4.0f;
    player->accelerationDefault = 12.0f;
    player->pressy = 0;
    player->pressx = 0;
    player->keys = {};
    player->pad = {};
    resetPlayer(player, x, y, z);
}

// Movement, held keys, defaults and colours survive a new match.
void resetPlayer(Player *player, float x, float y, float z)
{
    player->radius = player->radiusDefault;
    player->mass = player->massDefault;
    player->maxSpeed = player->maxSpeedDefault;
    player->acceleration = player->accelerationDefault;
    player->resistance = 0;
    player->powerup = 0;
    player->powerupActive = 0;
    player->powerupStage = 0;
    player->powerupExpire = 0;
    player->grounded = 0;
    player->spawning = 1;
    player->rot = 0;
    player->rotY = 0;
    player->rotHY = 0;
    player->x = x;
    player->y = y;
    player->z = z;
    player->velocity = {0, 0, 0};
    player->score = 0;
}

namespace
{

// Brings the wanted angle within 180 degrees of the current one, so the
// turn always takes the short way round.
float unwrapToward(float wanted, float current)
{
    while (wanted - current > 180)
        wanted -= 360;
    while (current - wanted > 180)
        wanted += 360;
    return wanted;
}

float clampTurn(float difference, float maxTurn)
{
    if (difference > maxTurn)
        return maxTurn;
    if (difference < -maxTurn)
        return -maxTurn;
    return difference;
}

} // namespace

void updatePlayer(Player *player, float seconds)
{
    const vector m = player->movement;
    // The cage rolls by its travelled arc; 6.28 is the game's own circle.
    player->rot -= 360 * magnitude(m) / (6.28 * player->radius);

    if (m.x == 0)
        return;

    // Squares in double: a float square of a tiny x underflows to 0 (0 / 0),
    // and a rounded z * z can leave the ratio past 1 for travel along z; the
    // double squares of floats are exact, so the ratio stays within [-1, 1].
    const double mx = m.x;
    const double mz = m.z;
    const double planar = std::sqrt(mx * mx + mz * mz);
    // 3.14, not pi: the heading is a hair wider than a true degree, on purpose.
    float preferredRotY = static_cast<float>(std::asin(-mz / planar) * 180 / 3.14);
    if (m.x < 0) {
        if (m.z < 0)
            preferredRotY = 180 - preferredRotY;
        else
            preferredRotY = -180 - preferredRotY;
    }
    preferredRotY = unwrapToward(preferredRotY, player->rotY);
    player->rotY += clampTurn(preferredRotY - player->rotY, 180 * seconds);

    const int px = player->pressx;
    const int py = player->pressy;
    if (px == 0 && py == 0)
        return;
    int facing;
    if (px == 0)
        facing = 90 * py;
    else if (py == 0)
        facing = 90 - 90 * px;
    else if (px == 1)
        facing = 45 * py;
    else
        facing = 135 * py;
    const float preferredRotHY = unwrapToward(static_cast<float>(facing), player->rotHY);
    player->rotHY += clampTurn(preferredRotHY - player->rotHY, 270 * seconds);
}
