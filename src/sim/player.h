// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A contestant's ball: its record, start and respawn values, and its
// rolling and turning over a frame.

#include <array>

#include "core/input.h"
#include "core/vector.h"

// One contestant: a hamster running inside a transparent ball.
struct Player {
    float radius;
    float radiusDefault;
    float mass;
    float massDefault;
    float resistance;
    int powerup;
    int powerupActive;
    float powerupStage;
    float powerupExpire;
    int grounded;
    int spawning;
    float rot;
    float rotY;
    float rotHY;
    float x, y, z; // y is the ball's lowest point; its centre is radius higher
    vector velocity;
    vector movement;
    float maxSpeed;
    float maxSpeedDefault;
    float acceleration;
    float accelerationDefault;
    int score;
    int pressy;
    int pressx;
    // What pressx/pressy are made of: the steering keys' counters and the
    // gamepad's push (core/pad.h).
    Push keys;
    Push pad;
    std::array<float, 4> ambient;
    std::array<float, 4> diffuse;
    std::array<float, 4> ambientHamster;
    std::array<float, 4> diffuseHamster;
    bool operator==(const Player &) const = default;
};

void initPlayer(Player *player, float red, float green, float blue, float redHamster,
                float greenHamster, float blueHamster, float x, float y, float z);
void resetPlayer(Player *player, float x, float y, float z);
void updatePlayer(Player *player, float seconds);
// 1 while the ball is over the square of the grid.
int playerInRange(const unsigned char *heightmap, Player player);
