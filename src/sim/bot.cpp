// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/bot.h"

#include "core/state.h"
#include "terrain/heightmap.h"

namespace
{

constexpr float kEdgeLow = 0.75f;
constexpr float kEdgeHigh = 14.25f;

// +1 toward the target along an axis, -1 away, 0 when level with it.
int towardX(float from, float to)
{
    return from < to ? 1 : (from > to ? -1 : 0);
}
// Forward (pressy +1) pushes toward -z.
int towardZ(float from, float to)
{
    return from > to ? 1 : (from < to ? -1 : 0);
}

} // namespace

void updateBot()
{
    if (toggleBot != 1)
        return;
    Player &bot = players[1];
    const Player &human = players[0];

    if (endGame == 1) {
        bot.pressx = 0;
        bot.pressy = 0;
        return;
    }

    // The bot judges nearness over x and height, not over the ground plane,
    // on purpose: that is its rule, depth across the field is not looked at.
    const float hx = human.x - bot.x;
    const float hy = human.y - bot.y;
    const float px = powerup.x - bot.x;
    const float py = powerup.y - bot.y;
    const int closerToPowerup = (hx * hx + hy * hy) > (px * px + py * py) ? 1 : 0;

    bot.pressx = 0;
    bot.pressy = 0;

    const int humanOnField = playerInRange(heightmap.data(), human);

    if (powerup.active == 1 && powerup.grounded == 1 && (closerToPowerup == 1 || !humanOnField)) {
        bot.pressx = towardX(bot.x, powerup.x);
        bot.pressy = towardZ(bot.z, powerup.z);
    } else if (humanOnField && human.spawning == 0) {
        bot.pressx = towardX(bot.x, human.x);
        bot.pressy = towardZ(bot.z, human.z);
    } else {
        // Nobody worth chasing: just keep off the edges.
        if (bot.z > kEdgeHigh)
            bot.pressy = 1;
        else if (bot.z < kEdgeLow)
            bot.pressy = -1;
        if (bot.x > kEdgeHigh)
            bot.pressx = -1;
        else if (bot.x < kEdgeLow)
            bot.pressx = 1;
    }
}
