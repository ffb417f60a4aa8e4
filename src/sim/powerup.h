// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The powerup item: its record, its fall and colours, collection by a ball,
// and the boost it gives.

#include <array>

#include "core/vector.h"

struct Player;

// The single powerup of the field.
struct Powerup {
    int grounded;
    int active;
    float x, y, z; // base of the item; its centre is 0.5 above
    vector velocity;
    std::array<float, 4> ambient;
    std::array<float, 4> diffuse;
    bool operator==(const Powerup &) const = default;
};

// Boost kinds as stored in Player::powerup (0: none or bomb).
enum PowerupKind : int {
    kPowerupNone = 0,
    kPowerupGrowth = 1,
    kPowerupSpeed = 2,
    kPowerupResistance = 3
};

// Fields of game.match.
extern std::array<float, 3> &rgb; // current display colour of the item
extern float &hval;               // hue in degrees
extern float &ticker;             // seconds of field time, never reset
extern double &tickerClock;       // ticker added up in double (core/clock.h)

void initPowerup(Powerup *powerup);
void resetPowerup(Powerup *powerup);
void spawnPowerup(Powerup *powerup, float x, float y, float z);
void updatePowerup(Powerup *powerup, const unsigned char *heightmap, float gravity, float seconds);
int checkCollectPowerup(Powerup *powerup, Player *player);
float getNextPowerupSpawn();

// A player's boost: the effect of its kind at its stage, and the stage
// building up or fading over a frame.
void applyPowerupEffect(Player *player);
void stagePowerupEffect(Player *player, float seconds);
