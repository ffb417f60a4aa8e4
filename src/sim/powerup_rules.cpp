// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/powerup_rules.h"

#include <cstdlib>

#include "audio/cues.h"
#include "core/random.h"
#include "core/state.h"
#include "sim/messages.h"
#include "sim/powerup.h"

namespace
{

// A spot in the middle 80 % of the field.
float spawnCoordinate()
{
    return static_cast<float>((gameUniform() * 0.8 + 0.1) * 150 * 0.1);
}

} // namespace

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
