// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Plays the pure game the way the keyboard and the frame loop do, without a
// window, and names the first thing the frame update left insane. The soak,
// the match test and the frame fuzzer share it; the unit fixture starts
// from its resetAll.

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/controls.h"
#include "core/keys.h"
#include "core/match.h"
#include "core/state.h"
#include "render/model.h"
#include "sim/frags.h"
#include "sim/particle.h"
#include "sim/powerup.h"
#include "sim/update.h"
#include "terrain/heightmap.h"
#include "terrain/terrain.h"

// Every global of the rules back at its program-start value: resetGameState
// and, until it covers them, the pools and clocks of the other modules.
inline void resetAll()
{
    resetGameState();
    initParticles();
    resetTerrainChoice();
    rgb = {1, 1, 1};
    hval = 0;
    ticker = 0;
    rate = 0;
    trail::remainder = 0;
}

namespace play
{

// The keys that change play. F5 to F8, P and the light nudges only change
// what is drawn, so they are left out.
enum Key : unsigned char {
    kUp, // the arrows steer player 1, W, S, A and D player 2
    kDown,
    kLeft,
    kRight,
    kW,
    kS,
    kA,
    kD,
    kSpace, // the rest act at once
    kF1,
    kF4,
    kF9,
    kF10,
    kF11,
    kF12,
    kOne,
    kTwo,
    kKeyCount
};

// What a held steering key adds to its player's counters.
struct Steer {
    int player, dx, dy;
};
inline constexpr Steer kSteer[8] = {{0, 0, 1}, {0, 0, -1}, {0, -1, 0}, {0, 1, 0},
                                    {1, 0, 1}, {1, 0, -1}, {1, -1, 0}, {1, 1, 0}};

// A new match on the next terrain: what newTerrain does, less the GL half.
inline void newMatch(std::FILE *progress)
{
    terrain = newMap();
    generateHeightMap(heightmap.data(), *terrain, progress);
    beginMatch();
}

// Program start with the first match set up; the terrains table must be loaded.
inline void start(std::FILE *progress)
{
    resetAll();
    newMatch(progress);
    setupPlayers();
}

inline void steer(Key key, int sign)
{
    Player &p = players[kSteer[key].player];
    p.pressx += sign * kSteer[key].dx;
    p.pressy += sign * kSteer[key].dy;
}

// Returns true when the key started a new match (that costs a new grid).
inline bool keyDown(Key key, std::FILE *progress)
{
    if (key < kSpace) {
        steer(key, 1);
        return false;
    }
    const bool next = key == kF1 || (key == kSpace && endGame == 1);
    if (next)
        newMatch(progress);
    else if (key == kSpace) // the real key: the pause mutes the sound too
        applyInput({InputKind::KeyDown, 0, keys::kSpace, 0});
    else if (key == kF4 && (toggleBot = toggled(toggleBot)) == 0)
        players[1].pressx = players[1].pressy = 0;
    else if (key == kF9)
        toggleBulletTime = toggled(toggleBulletTime);
    else if (key == kF10)
        toggleSuperSize();
    else if (key == kF11 || key == kF12)
        toggleBoost(key == kF11 ? kPowerupGrowth : kPowerupSpeed);
    else if (key == kOne)
        toggleCameraMovement = toggled(toggleCameraMovement);
    else if (key == kTwo)
        toggleLightMovement = toggled(toggleLightMovement);
    return next;
}

inline void keyUp(Key key)
{
    if (key < kSpace)
        steer(key, -1);
}

template <class... F> bool finite(F... values)
{
    return (std::isfinite(values) && ...);
}
inline bool finite(const vector &v)
{
    return finite(v.x, v.y, v.z);
}
template <class T, std::size_t N> bool finite(const std::array<T, N> &values)
{
    for (float v : values)
        if (!std::isfinite(v))
            return false;
    return true;
}

// Names the first thing that is wrong with the game state, or null. Fixed
// texts only: it runs inside loops that must not allocate.
inline const char *firstFault()
{
    for (const Player &p : players)
        if (!finite(p.radius, p.radiusDefault, p.mass, p.massDefault, p.resistance, p.powerupStage,
                    p.powerupExpire, p.rot, p.rotY, p.rotHY, p.x, p.y, p.z, p.maxSpeed,
                    p.maxSpeedDefault, p.acceleration, p.accelerationDefault) ||
            !finite(p.velocity) || !finite(p.movement) || !finite(p.ambient) ||
            !finite(p.diffuse) || !finite(p.ambientHamster) || !finite(p.diffuseHamster))
            return "a player field is not finite";
    if (!finite(cameraPos) || !finite(cameraPosPreferred) ||
        !finite(cameraRot, cameraRotPreferred) || !finite(cameraVelocity) ||
        !finite(sceneRot, lightTime) || !finite(lightPos))
        return "a camera or light field is not finite";
    if (!finite(powerup.x, powerup.y, powerup.z, hval, ticker, nextPowerupSpawn) ||
        !finite(powerup.velocity) || !finite(powerup.ambient) || !finite(powerup.diffuse) ||
        !finite(rgb))
        return "a powerup field is not finite";
    if (!(hval >= 0 && hval < 360))
        return "the powerup hue left 0..360";
    for (const Particle &p : particles)
        if (p.active == 1 &&
            !(finite(p.life, p.fade, p.r, p.g, p.b, p.x, p.y, p.z) && finite(p.velocity)))
            return "a particle field is not finite";
    if (nextParticle < 0 || nextParticle >= kParticleCount)
        return "the particle ring index left the pool";
    if (!finite(gameTime, averageHeight, trail::remainder, rate))
        return "a clock or the average height is not finite";
    for (const Player &p : players)
        if (p.score < 0 || p.score > kFragTarget)
            return "a score left 0..5";
    if (endGame != 0 && endGame != 1)
        return "endGame is neither 0 nor 1";
    if (endGame == 1 && (winner < 0 || winner > 1 || players[winner].score != kFragTarget ||
                         players[1 - winner].score >= kFragTarget))
        return "the winner does not have the frags";
    if (endGame == 0 && (players[0].score >= kFragTarget || players[1].score >= kFragTarget))
        return "a player has the frags but the match goes on";
    for (const Message &m : messages)
        if (!std::memchr(m.text.data(), '\0', m.text.size()) || !std::isfinite(m.timeleft))
            return "a message is unterminated or its timer not finite";
    if (!std::memchr(mainMessage.data(), '\0', mainMessage.size()))
        return "the main message is unterminated";
    return nullptr;
}

} // namespace play
