// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/state.h"

#include <string_view>

#include "core/loop.h"
#include "terrain/texture.h"

constinit GameState game{};

std::array<Player, 2> &players = game.match.players;
Terrain *&terrain = game.match.terrain;
std::array<unsigned char, kGridPoints> &heightmap = game.match.heightmap;
float &averageHeight = game.match.averageHeight;
Powerup &powerup = game.match.powerup;
int &powerupActive = game.match.powerupActive;
float &nextPowerupSpawn = game.match.nextPowerupSpawn;
float &gameTime = game.match.gameTime;
float &lightTime = game.view.lightTime;
float &lastCollisionTime = game.match.lastCollisionTime;
std::array<float, 4> &lightPos = game.view.lightPos;
const std::array<float, 4> lightAmb{0.5f, 0.5f, 0.5f, 1.0f};
const std::array<float, 4> lightDiff{1.0f, 1.0f, 1.0f, 1.0f};
const std::array<float, 4> lightSpec{1.0f, 1.0f, 1.0f, 1.0f};
std::array<float, 3> &cameraPos = game.view.cameraPos;
float &cameraRot = game.view.cameraRot;
std::array<float, 3> &cameraPosPreferred = game.view.cameraPosPreferred;
float &cameraRotPreferred = game.view.cameraRotPreferred;
vector &cameraVelocity = game.view.cameraVelocity;
float &sceneRot = game.view.sceneRot;
int &endGame = game.match.endGame;
int &winner = game.match.winner;
std::array<Message, 2> &messages = game.match.messages;
std::array<char, 80> &mainMessage = game.match.mainMessage;
std::array<Particle, kParticleCount> &particles = game.match.particles;
int &nextParticle = game.match.nextParticle;
std::array<float, 3> &rgb = game.match.rgb;
float &hval = game.match.hval;
float &ticker = game.match.ticker;
double &tickerClock = game.match.tickerClock;
float &rate = game.match.rate;
double &rateClock = game.match.rateClock;
std::array<PadState, kPadCount> &pads = game.match.pads;

int &w = game.session.w, &h = game.session.h;
int &shadersSupported = game.session.shadersSupported;
int &shadowsDisabled = game.session.shadowsDisabled;
int &toggleShadows = game.session.toggleShadows;
int &toggleMultiShadows = game.session.toggleMultiShadows;
int &toggleSmooth = game.session.toggleSmooth;
int &toggleCameraMovement = game.view.toggleCameraMovement;
int &toggleLightMovement = game.view.toggleLightMovement;
int &toggleBulletTime = game.session.toggleBulletTime;
int &toggleSuperSizeMe = game.session.toggleSuperSizeMe;
int &togglePause = game.session.togglePause;
int &toggleHUD = game.session.toggleHUD;
int &toggleBot = game.session.toggleBot;
int &toggleLightView = game.session.toggleLightView;
int &terrainCurrent = game.session.terrainCurrent;
int &oldTerrain = game.session.oldTerrain;
int &oldTerrain2 = game.session.oldTerrain2;
int &terrainChosenNext = game.session.terrainChosenNext;
bool &noiseSeedFixed = game.session.noiseSeedFixed;
std::uint32_t &fixedNoiseSeed = game.session.fixedNoiseSeed;
std::array<unsigned char, kTexels> &texture = game.session.texture;
std::uint32_t &seed = game.session.seed;
float &scale = game.session.scale;
int &quit_flag = game.session.quit_flag;
int &fps = game.session.fps;
int &frame_count = game.session.frame_count;
std::uint32_t &frame_time = game.session.frame_time;
double &gameClock = game.match.gameClock;
float &trail::remainder = game.match.trailRemainder;

namespace
{

// Each field of a PlayRecord beside its place in the game: the one list of
// them, for taking the play and for putting it back.
template <class Play, class Game, class Copy> void pairPlay(Play &p, Game &g, Copy copy)
{
    auto &s = g.session;
    copy(p.match, g.match);
    copy(p.toggleBulletTime, s.toggleBulletTime);
    copy(p.toggleSuperSizeMe, s.toggleSuperSizeMe);
    copy(p.togglePause, s.togglePause);
    copy(p.toggleBot, s.toggleBot);
    copy(p.terrainCurrent, s.terrainCurrent);
    copy(p.oldTerrain, s.oldTerrain);
    copy(p.oldTerrain2, s.oldTerrain2);
    copy(p.terrainChosenNext, s.terrainChosenNext);
    copy(p.seed, s.seed);
    copy(p.noiseSeedQueued, s.noiseSeedQueued);
    copy(p.queuedNoiseSeed, s.queuedNoiseSeed);
    copy(p.matchesStarted, s.matchesStarted);
    copy(p.scale, s.scale);
}

} // namespace

PlayRecord takePlay()
{
    PlayRecord p;
    pairPlay(p, game, [](auto &to, const auto &from) { to = from; });
    return p;
}

void putPlay(const PlayRecord &p)
{
    pairPlay(p, game, [](const auto &from, auto &to) { to = from; });
}

void resetGameState()
{
    game = GameState{};
}

void probeCapabilities(const char *extensions)
{
    std::string_view ext = extensions ? extensions : "";
    auto has = [&](std::string_view name) { return ext.find(name) != std::string_view::npos; };
    shadersSupported = has("GL_ARB_vertex_shader") && has("GL_ARB_vertex_program") &&
                               has("GL_ARB_fragment_shader") && has("GL_ARB_fragment_program")
                           ? 1
                           : 0;
    bool shadows = has("GL_ARB_depth_texture") && has("GL_EXT_framebuffer_object") &&
                   has("GL_ARB_multitexture") && shadersSupported;
    shadowsDisabled = shadows ? 0 : 1;
    toggleShadows = shadows ? 1 : 0;
}

void applyEntryPoints(bool shaderFunctions, bool shadowFunctions)
{
    if (!shaderFunctions)
        shadersSupported = 0;
    if (!shaderFunctions || !shadowFunctions) {
        shadowsDisabled = 1;
        toggleShadows = 0;
    }
}

int gameRand()
{
    return nextRandom(game.match.random);
}

void seedGameRand(std::uint32_t randSeed)
{
    game.match.random = seededRandom(randSeed);
}
