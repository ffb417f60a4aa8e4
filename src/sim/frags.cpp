// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/frags.h"

#include <cstdio>
#include <cstdlib>

#include "audio/cues.h"
#include "core/random.h"
#include "core/state.h"
#include "sim/messages.h"
#include "sim/powerup_rules.h"

namespace
{

// A ball this far below the field and off the square is lost.
constexpr float kLostHeight = -20.0f;
constexpr float kRespawnHeight = 10.0f;
constexpr float kQuadrantSide = 7.5f;

int quadrantOf(const Player &player)
{
    const int east = player.x > kQuadrantSide ? 1 : 0;
    const int south = player.z > kQuadrantSide ? 2 : 0;
    return east + south;
}

} // namespace

void groundContact(int p)
{
    Player &player = players[p];
    if (player.grounded) {
        if (!playerInRange(heightmap.data(), player)) {
            playWhee();
            player.grounded = 0;
            if (player.powerupActive == 1)
                endBoost(&player);
        }
        return;
    }

    const bool over = playerInRange(heightmap.data(), player) != 0;
    if (over && player.y <= getRealHeight(heightmap.data(), player.x, player.z)) {
        player.velocity.y = 0;
        player.grounded = 1;
        player.spawning = 0;
    }
    if (player.y < kLostHeight && !over)
        fragAndRespawn(p);
}

void fragAndRespawn(int p)
{
    Player &player = players[p];
    const int other = 1 - p;
    int occupiedQuadrant = -1;

    // The physique comes back at once; a boost still in force builds up again.
    player.maxSpeed = player.maxSpeedDefault;
    player.acceleration = player.accelerationDefault;
    player.mass = player.massDefault;
    player.radius = player.radiusDefault;
    player.resistance = 0;
    player.powerupStage = 0;

    if (endGame == 0) {
        players[other].score += 1;
        if (players[other].score >= kFragTarget) {
            winner = other;
            addMessage("Winner!", winner);
            endGame = 1;
            if (toggleBot == 1 && winner == 1) {
                playLose();
                changeMainMessage("Bot won, you suck bad! press space to continue");
            } else {
                playWin();
                char line[80];
                std::snprintf(line, sizeof line, "Player %d is the winner! press space to continue",
                              winner + 1);
                changeMainMessage(line);
            }
        } else {
            const int leader =
                players[0].score > players[1].score ? players[0].score : players[1].score;
            const int fragsLeft = kFragTarget - leader;
            char line[80];
            std::snprintf(line, sizeof line, "%d %s left !", fragsLeft,
                          fragsLeft > 1 ? "frags" : "frag");
            changeMainMessage(line);
        }
    }

    // Drop back in over a quadrant the other ball is not in.
    if (playerInRange(heightmap.data(), players[other]))
        occupiedQuadrant = quadrantOf(players[other]);
    int quadrant = gameRand() % 4;
    while (quadrant == occupiedQuadrant)
        quadrant = gameRand() % 4;

    player.x = (quadrant % 2 + 0.5f) * kQuadrantSide;
    player.y = kRespawnHeight;
    player.z = (quadrant / 2 + 0.5f) * kQuadrantSide;
    player.grounded = 0;
    player.spawning = 1;
    player.velocity = limit(player.velocity, 0);
    addMessage("har har", p);
}
