// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Plays the pure game the way the keyboard and the frame loop do, through
// the game's one frame entry (core/frame.h), without a window, and names
// the first thing the frame update left insane. The soak,
// the match test and the frame fuzzer share it; the unit fixture starts
// from its resetAll.

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/frame.h"
#include "core/keys.h"
#include "core/match.h"
#include "core/random.h"
#include "core/state.h"
#include "render/model.h"
#include "sim/frags.h"
#include "sim/particle.h"
#include "sim/powerup.h"
#include "sim/update.h"
#include "terrain/heightmap.h"
#include "terrain/terrain.h"

// Every global of the rules back at its program-start value: resetGameState
// and, until it covers them, the terrain choice of the terrains module.
inline void resetAll()
{
    resetGameState();
    resetTerrainChoice();
}

namespace play
{

// The keys that change play, by the game's key numbers. F5 to F8, P and the
// light nudges only change what is drawn, so they are left out.
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
inline constexpr int kCodes[kKeyCount] = {
    keys::kUp,  keys::kDown, keys::kLeft,  keys::kRight, keys::kW,  keys::kS,
    keys::kA,   keys::kD,    keys::kSpace, keys::kF1,    keys::kF4, keys::kF9,
    keys::kF10, keys::kF11,  keys::kF12,   keys::kOne,   keys::kTwo};

// Program start with the first match set up, the game's generator seeded
// first; the terrains table must be loaded. The match's progress goes to
// `progress`, later ones' to standard output as in the game.
inline void start(std::FILE *progress, std::uint32_t randSeed)
{
    resetAll();
    seedGameRand(randSeed);
    newTerrain(progress);
    setupPlayers();
}

// The key's press, as the keyboard hands it in. Returns true when it
// started a new match (that costs a new grid).
inline bool keyDown(Key key)
{
    const std::uint32_t matches = game.session.matchesStarted;
    takeInput({InputKind::KeyDown, 0, kCodes[key], 0}, std::nullopt);
    return game.session.matchesStarted != matches;
}

inline void keyUp(Key key)
{
    takeInput({InputKind::KeyUp, 0, kCodes[key], 0}, std::nullopt);
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
