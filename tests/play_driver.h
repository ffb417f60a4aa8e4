#pragma once

// Plays the pure game the way the keyboard and the frame loop do, without a
// window, and checks what the frame update must keep sane. The soak test and
// the frame fuzzer share it.

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/match.h"
#include "core/state.h"
#include "render/model.h"
#include "sim/particle.h"
#include "sim/powerup.h"
#include "sim/update.h"
#include "terrain/heightmap.h"
#include "terrain/terrain.h"

namespace play
{

// The keys that change play. F5 to F8, P and the light nudges only change
// what is drawn (updateLight moves the light every frame), so they are left out.
enum Key : unsigned char {
    kUp, // the arrows steer player 1
    kDown,
    kLeft,
    kRight,
    kW, // W, S, A and D steer player 2
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

// A new match on the next terrain: what newTerrain does, less the GL half.
inline void newMatch(std::FILE *progress)
{
    cameraVelocity = {0, 0, 0};
    terrain = newMap();
    generateHeightMap(heightmap.data(), *terrain, progress);
    beginMatch();
}

// Program start: the state init leaves, with the first match set up.
// The terrains table must be loaded.
inline void start(std::FILE *progress)
{
    resetGameState();
    resetTerrainChoice();
    resetPowerup(&powerup);
    ticker = 0;
    hval = 0;
    rgb = {1.0f, 1.0f, 1.0f};
    rate = 0;
    trail::remainder = 0;
    newMatch(progress);
    setupPlayers();
}

// Returns true when the key started a new match (that costs a new grid).
inline bool keyDown(Key key, std::FILE *progress)
{
    switch (key) {
    case kUp:
        players[0].pressy += 1;
        break;
    case kDown:
        players[0].pressy -= 1;
        break;
    case kRight:
        players[0].pressx += 1;
        break;
    case kLeft:
        players[0].pressx -= 1;
        break;
    case kW:
        players[1].pressy += 1;
        break;
    case kS:
        players[1].pressy -= 1;
        break;
    case kD:
        players[1].pressx += 1;
        break;
    case kA:
        players[1].pressx -= 1;
        break;
    case kSpace:
        if (endGame == 1) {
            newMatch(progress);
            return true;
        }
        togglePause = toggled(togglePause);
        break;
    case kF1:
        newMatch(progress);
        return true;
    case kF4:
        toggleBot = toggled(toggleBot);
        if (toggleBot == 0) {
            players[1].pressx = 0;
            players[1].pressy = 0;
        }
        break;
    case kF9:
        toggleBulletTime = toggled(toggleBulletTime);
        break;
    case kF10:
        toggleSuperSize();
        break;
    case kF11:
        toggleBoost(kPowerupGrowth);
        break;
    case kF12:
        toggleBoost(kPowerupSpeed);
        break;
    case kOne:
        toggleCameraMovement = toggled(toggleCameraMovement);
        break;
    case kTwo:
        toggleLightMovement = toggled(toggleLightMovement);
        break;
    default:
        break;
    }
    return false;
}

inline void keyUp(Key key)
{
    switch (key) {
    case kUp:
        players[0].pressy -= 1;
        break;
    case kDown:
        players[0].pressy += 1;
        break;
    case kRight:
        players[0].pressx -= 1;
        break;
    case kLeft:
        players[0].pressx += 1;
        break;
    case kW:
        players[1].pressy -= 1;
        break;
    case kS:
        players[1].pressy += 1;
        break;
    case kD:
        players[1].pressx -= 1;
        break;
    case kA:
        players[1].pressx += 1;
        break;
    default:
        break;
    }
}

inline bool finite(float v)
{
    return std::isfinite(v);
}
inline bool finite(const vector &v)
{
    return finite(v.x) && finite(v.y) && finite(v.z);
}
template <class A> bool allFinite(const A &values)
{
    for (float v : values)
        if (!finite(v))
            return false;
    return true;
}

inline bool playerFinite(const Player &p)
{
    const float scalars[] = {p.radius,
                             p.radiusDefault,
                             p.mass,
                             p.massDefault,
                             p.resistance,
                             p.powerupStage,
                             p.powerupExpire,
                             p.rot,
                             p.rotY,
                             p.rotHY,
                             p.x,
                             p.y,
                             p.z,
                             p.maxSpeed,
                             p.maxSpeedDefault,
                             p.acceleration,
                             p.accelerationDefault};
    return allFinite(scalars) && finite(p.velocity) && finite(p.movement) && allFinite(p.ambient) &&
           allFinite(p.diffuse) && allFinite(p.ambientHamster) && allFinite(p.diffuseHamster);
}

// Names the first thing that is wrong with the game state, or null. Fixed
// texts only: it runs inside loops that must not allocate.
inline const char *firstFault()
{
    if (!playerFinite(players[0]))
        return "player 1 has a field that is not finite";
    if (!playerFinite(players[1]))
        return "player 2 has a field that is not finite";
    if (!allFinite(cameraPos) || !allFinite(cameraPosPreferred) || !finite(cameraRot) ||
        !finite(cameraRotPreferred) || !finite(cameraVelocity) || !finite(sceneRot))
        return "a camera field is not finite";
    if (!allFinite(lightPos) || !finite(lightTime))
        return "a light field is not finite";
    if (!finite(powerup.x) || !finite(powerup.y) || !finite(powerup.z) ||
        !finite(powerup.velocity) || !allFinite(powerup.ambient) || !allFinite(powerup.diffuse) ||
        !allFinite(rgb) || !finite(hval) || !finite(ticker) || !finite(nextPowerupSpawn))
        return "a powerup field is not finite";
    if (!(hval >= 0 && hval < 360))
        return "the powerup hue left 0..360";
    for (const Particle &p : particles) {
        if (p.active != 1)
            continue;
        const float fields[] = {p.life, p.fade, p.r, p.g, p.b, p.x, p.y, p.z};
        if (!allFinite(fields) || !finite(p.velocity))
            return "a particle field is not finite";
    }
    if (nextParticle < 0 || nextParticle >= kParticleCount)
        return "the particle ring index left the pool";
    if (!finite(gameTime) || !finite(averageHeight) || !finite(trail::remainder) || !finite(rate))
        return "a clock or the average height is not finite";
    for (const Player &p : players)
        if (p.score < 0 || p.score > kFragTarget)
            return "a score left 0..5";
    if (endGame != 0 && endGame != 1)
        return "endGame is neither 0 nor 1";
    if (endGame == 1) {
        if (winner != 0 && winner != 1)
            return "the winner is neither player";
        if (players[winner].score != kFragTarget || players[1 - winner].score >= kFragTarget)
            return "the winner does not have the frags";
    } else if (players[0].score >= kFragTarget || players[1].score >= kFragTarget) {
        return "a player has the frags but the match goes on";
    }
    for (const Message &m : messages)
        if (std::memchr(m.text.data(), '\0', m.text.size()) == nullptr || !finite(m.timeleft))
            return "a message is unterminated or its timer not finite";
    if (std::memchr(mainMessage.data(), '\0', mainMessage.size()) == nullptr)
        return "the main message is unterminated";
    return nullptr;
}

} // namespace play
