// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The powerup's part in a match: collection and what follows it, the end of
// a boost, and the schedule of the next drop. Frame-update steps on the game
// state; the powerup record's own functions are in sim/powerup.h.

struct Player;

void endBoost(Player *player);      // boost over: flags off, next spawn scheduled
void expirePowerup(Player *player); // endBoost once powerupExpire <= 0
void collectPowerup(int player);    // collection test and what follows it
void spawnPowerupIfDue();
void countDownPowerups(float seconds);
