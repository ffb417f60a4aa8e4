// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/match.h"

#include <cstdio>

#include "core/state.h"
#include "render/view.h"
#include "sim/particle.h"
#include "terrain/texture.h"

void beginSession()
{
    messages = {};
    mainMessage = {};
    readTerrains("terrains");
    newTerrain();
    setupPlayers();
}

std::FILE *quietProgress()
{
    static std::FILE *sink = std::fopen("/dev/null", "w");
    return sink ? sink : stdout;
}

void newTerrain(std::FILE *progress)
{
    if (game.session.quiet)
        progress = quietProgress();
    cameraVelocity = {0, 0, 0};
    terrain = newMap();
    std::fprintf(progress, "\nLoading Map: %s\n", terrain->name.data());
    SessionState &s = game.session;
    const std::uint32_t noiseSeed = s.noiseSeedQueued ? s.queuedNoiseSeed : nextNoiseSeed(0);
    s.noiseSeedQueued = false;
    generateTexture(*terrain, noiseSeed, progress);
    generateHeightMap(heightmap.data(), *terrain, progress);
    beginMatch();
    ++s.matchesStarted;
    terrainChanged();
}

void queueNoiseSeed(std::uint32_t noiseSeed)
{
    game.session.noiseSeedQueued = true;
    game.session.queuedNoiseSeed = noiseSeed;
}

void beginMatch()
{
    cameraVelocity = {0, 0, 0};
    averageHeight = getAverageHeight(heightmap.data());
    resetPlayer(&players[0], kPlayer1Start[0], kPlayer1Start[1], kPlayer1Start[2]);
    resetPlayer(&players[1], kPlayer2Start[0], kPlayer2Start[1], kPlayer2Start[2]);
    initParticles();
    resetPowerup(&powerup);
    endGame = 0;
    char announcement[80];
    std::snprintf(announcement, sizeof announcement, "First to %d frags wins !", kFragTarget);
    changeMainMessage(announcement);
    nextPowerupSpawn = getNextPowerupSpawn();
    powerupActive = 0;
    cameraPos = {7.5f, 5.0f, 15.0f};
    cameraRot = 0;
}

void setupPlayers()
{
    initPlayer(&players[0], 0.0f, 0.0f, 1.0f, 0.5f, 0.5f, 0.5f, kPlayer1Start[0], kPlayer1Start[1],
               kPlayer1Start[2]);
    initPlayer(&players[1], 1.0f, 0.0f, 0.0f, 1.0f, 0.5f, 0.2f, kPlayer2Start[0], kPlayer2Start[1],
               kPlayer2Start[2]);
}

void toggleBoost(int kind)
{
    Player &p = players[0];
    p.powerupActive = toggled(p.powerupActive);
    powerupActive = p.powerupActive;
    if (p.powerupActive) {
        p.powerup = kind;
        p.powerupExpire = 15.0f;
        nextPowerupSpawn = -1;
        powerup.active = 0;
    } else {
        nextPowerupSpawn = getNextPowerupSpawn();
    }
    p.powerupStage = p.powerupActive ? 0.0f : 1.0f;
}

void toggleSuperSize()
{
    toggleSuperSizeMe = toggled(toggleSuperSizeMe);
    for (Player &p : players) {
        p.radiusDefault = toggleSuperSizeMe ? 1.0f : 0.25f;
        p.radius = p.radiusDefault;
    }
}
