// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/update.h"

#include <array>
#include <cmath>
#include <numbers>

#include "audio/cues.h"
#include "core/clock.h"
#include "core/state.h"
#include "render/model.h"
#include "sim/bot.h"
#include "sim/camera.h"
#include "sim/collision.h"
#include "sim/frags.h"
#include "sim/messages.h"
#include "sim/particle.h"
#include "sim/player.h"
#include "sim/powerup.h"
#include "sim/powerup_rules.h"

namespace
{

constexpr float kMaxStep = 0.1f;

// The game clock adds up in double and shows itself as the float gameTime.
// Added up in float, a game left running for hours at a high frame rate
// would add steps smaller than half of gameTime's last digit and stand still
// (at a thousand frames a second after about nine hours), and with it the
// collision cool-down: the balls would never hit each other again. A
// gameTime set from outside (a reset) is taken over. The other clocks add
// up as core/clock.h says (gameClock, sim/update.h).
constexpr int kSlopeSamples = 32;
constexpr double kSampleDistance = 0.1; // one cell
constexpr float kTrailPerUnit = 5.0f;   // particles per second per unit/s of speed
constexpr float kTrailLife = 1.0f;

// The directions of the slope samples around a ball, worked out once with
// the same expressions the samples used to evaluate every frame.
struct SlopeDirection {
    double cos;    // cos(angle)
    double sinNeg; // sin(-angle)
};

const std::array<SlopeDirection, kSlopeSamples> kSlopeDirections = [] {
    std::array<SlopeDirection, kSlopeSamples> directions{};
    for (int i = 0; i < kSlopeSamples; ++i) {
        const double angle = static_cast<double>(i) / kSlopeSamples * 2 * std::numbers::pi;
        directions[static_cast<std::size_t>(i)] = {std::cos(angle), std::sin(-angle)};
    }
    return directions;
}();

void moveBall(Player &p)
{
    p.x += p.movement.x;
    p.y += p.movement.y;
    p.z += p.movement.z;
}

} // namespace

void applyDrive(Player *player, float seconds)
{
    vector power =
        normalise({static_cast<float>(player->pressx), 0, static_cast<float>(-player->pressy)});
    // Heavier balls answer the keys more slowly.
    const float multiplier = static_cast<float>(1.0 / std::sqrt(static_cast<double>(player->mass)));
    power = multiply(power, player->acceleration * multiplier * seconds);

    const vector v = player->velocity;
    const vector pushed = sumVectors(v, power);
    const float speed = magnitude(v);
    if (magnitude(pushed) < speed)
        player->velocity = pushed; // braking always bites in full
    else if (speed > player->maxSpeed)
        player->velocity = limit(pushed, speed); // steer, but no faster than now
    else
        player->velocity = limit(pushed, player->maxSpeed);
}

void applyGravity(Player *player, float seconds)
{
    if (player->grounded == 0) {
        // No drag and no cap in the air; mass makes it fall faster.
        const vector fall{0, -player->mass * terrain->gravity, 0};
        player->velocity = sumVectors(player->velocity, multiply(fall, seconds));
        return;
    }

    // Look one cell around the ball for the steepest way down.
    int lowest = -1;
    float lowestHeight = player->y;
    for (int i = 0; i < kSlopeSamples; ++i) {
        const SlopeDirection &d = kSlopeDirections[static_cast<std::size_t>(i)];
        const float sx = static_cast<float>(player->x + kSampleDistance * d.cos);
        const float sz = static_cast<float>(player->z + kSampleDistance * d.sinNeg);
        const float height = getRealHeight(heightmap.data(), sx, sz);
        // Off the square the query says -1: never a way down.
        if (height >= 0 && height < lowestHeight) {
            lowest = i;
            lowestHeight = height;
        }
    }
    if (lowest == -1)
        return;
    const SlopeDirection &way = kSlopeDirections[static_cast<std::size_t>(lowest)];

    const float drop = player->y - lowestHeight;
    // Gravity times the sine of the slope toward that sample.
    const float gravityComponent =
        static_cast<float>(terrain->gravity * player->mass * drop /
                           std::sqrt(kSampleDistance * kSampleDistance + drop * drop));
    const vector down = normalise({static_cast<float>(kSampleDistance * way.cos), 0,
                                   static_cast<float>(kSampleDistance * way.sinNeg)});
    player->velocity = sumVectors(player->velocity, multiply(down, gravityComponent * seconds));
}

void applyFriction(Player *player, float seconds)
{
    // Never more than the speed itself, so friction cannot reverse the ball.
    const vector friction = limit(player->velocity, terrain->friction * seconds);
    player->velocity = subVectors(player->velocity, friction);
}

void emitTrail(Player *player, float seconds)
{
    const float speed = magnitude(player->velocity);
    const float particlesPerSecond = speed * kTrailPerUnit;
    const vector playerpos{player->x, player->y + player->radius, player->z};
    const vector behind = multiply(normalise(negative(player->velocity)), player->radius);
    const vector point = sumVectors(playerpos, behind);
    vector direction = multiply(negative(player->velocity), speed * 0.1f);
    direction.y += player->radius;

    trail::remainder += particlesPerSecond * seconds;
    if (trail::remainder >= 1) {
        const int number = static_cast<int>(trail::remainder);
        const auto &d = player->diffuse;
        createTrail(point.x, point.y, point.z, direction, number, kTrailLife, d[0] + (1 - d[0]) / 2,
                    d[1] + (1 - d[1]) / 2, d[2] + (1 - d[2]) / 2, d[0], d[1], d[2]);
        trail::remainder -= number;
    }
}

void update(float seconds)
{
    if (powerupActive == 1)
        playMusic2();
    else
        playMusic1();

    if (seconds > kMaxStep)
        seconds = kMaxStep;
    if (toggleBulletTime == 1)
        seconds *= 0.5f;
    if (togglePause == 1)
        return;

    if (static_cast<float>(gameClock) != gameTime)
        gameClock = gameTime;
    gameClock += seconds;
    gameTime = static_cast<float>(gameClock);
    if (toggleLightMovement == 1)
        addTime(lightTime, game.view.lightClock, seconds);

    updateLight();

    for (int p = 0; p < 2; ++p) {
        Player &player = players[p];
        updatePlayer(&player, seconds);
        stagePowerupEffect(&player, seconds);
        expirePowerup(&player);
        groundContact(p);
        if (player.grounded == 1)
            applyDrive(&player, seconds);
        applyGravity(&player, seconds);
        if (player.grounded == 1)
            applyFriction(&player, seconds);
        if (powerup.active == 1)
            collectPowerup(p);
        player.movement = multiply(player.velocity, seconds);
    }

    // Both balls advance only to the moment of contact; the new velocities
    // act from the next frame.
    const float collisionTime = collision(&players[0], &players[1]);
    if (collisionTime >= 0) {
        players[0].movement = multiply(players[0].movement, collisionTime);
        players[1].movement = multiply(players[1].movement, collisionTime);
    }

    for (Player &player : players)
        moveBall(player);

    for (Player &player : players)
        if (player.grounded == 1 && playerInRange(heightmap.data(), player))
            player.y = getRealHeight(heightmap.data(), player.x, player.z);

    for (Player &player : players)
        if (player.grounded == 1)
            emitTrail(&player, seconds);

    updateCamera(seconds);
    spawnPowerupIfDue();
    updateParticles(heightmap.data(), terrain->gravity, seconds);
    countDownPowerups(seconds);
    updatePowerup(&powerup, heightmap.data(), terrain->gravity, seconds);
    updateMessages(seconds);
    if (toggleBot == 1)
        updateBot();
    updateModel(seconds);
}
