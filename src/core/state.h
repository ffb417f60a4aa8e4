// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The whole mutable state of the game, in three records grouped by lifetime,
// and the names the game reads it by, bound to their fields. One call puts
// everything back to its program-start value; a snapshot of play is one copy
// of game.match.
//
// Loaded assets are not state and stay in their modules: the terrain
// definitions (terrain/terrain.h), the models (render/model.h), the decoded
// sounds (audio/) and the GL entry points (render/glext_gl.h). They are read
// once and never change while the game runs.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/input.h"
#include "core/options.h"
#include "core/random.h"
#include "core/vector.h"
#include "sim/messages.h"
#include "sim/particle.h"
#include "sim/player.h"
#include "sim/powerup.h"
#include "terrain/heightmap.h"
#include "terrain/terrain.h"

inline constexpr int kFragTarget = 5;

// Everything the frame update reads or writes: one copy of it is a snapshot
// of play, and restoring it replays the same frames from the same rand() seed.
struct MatchState {
    std::array<Player, 2> players{};
    Terrain *terrain = nullptr;
    std::array<unsigned char, kGridPoints> heightmap{};
    float averageHeight = 0;
    Powerup powerup{};
    int powerupActive = 0;
    float nextPowerupSpawn = 0;
    float gameTime = 0;
    double gameClock = 0; // gameTime added up in double
    float lastCollisionTime = 0;
    int endGame = 0;
    int winner = 0;
    std::array<Message, 2> messages{};
    std::array<char, 80> mainMessage{};
    std::array<Particle, kParticleCount> particles{};
    int nextParticle = 0;
    std::array<float, 3> rgb{1.0f, 1.0f, 1.0f}; // the powerup's colour, its hue
    float hval = 0;                             // and the ticker that cycles it
    float ticker = 0;
    double tickerClock = 0;
    float rate = 0; // the figures' animation clock, milliseconds
    double rateClock = 0;
    float trailRemainder = 0;
    std::array<PadState, kPadCount> pads{}; // what each pad pushes now
    RandomState random = seededRandom(1);   // as the C library's before any srand()
    bool operator==(const MatchState &) const = default;
};

// Each screen's own view of the match: where its camera and its light are,
// and whether they move. The update moves them, but nothing of play reads
// them, so two screens of one match online each keep their own.
struct ViewState {
    float lightTime = 0;
    double lightClock = 0;
    std::array<float, 4> lightPos{15.0f, 13.0f, 25.5f, 1.0f};
    std::array<float, 3> cameraPos{};
    float cameraRot = 0;
    std::array<float, 3> cameraPosPreferred{};
    float cameraRotPreferred = -60.0f;
    vector cameraVelocity{};
    float sceneRot = 0;
    double sceneClock = 0;
    int toggleCameraMovement = 1;
    int toggleLightMovement = 0;
    bool operator==(const ViewState &) const = default;
};

// The program's run: settings the keys change, what the driver offers, the
// window size, the terrain choice and texture, the frame loop's bookkeeping.
struct SessionState {
    int w = 0, h = 0;
    int shadersSupported = 0;
    int shadowsDisabled = 0;
    int toggleShadows = 0;
    int toggleMultiShadows = 1;
    int toggleSmooth = 1;
    int toggleBulletTime = 0;
    int toggleSuperSizeMe = 0;
    int togglePause = 0;
    int toggleHUD = 1;
    int toggleBot = 0;
    int toggleLightView = 0;
    int terrainCurrent = -1; // and the two choices before it
    int oldTerrain = -1;
    int oldTerrain2 = 0;
    int terrainChosenNext = -1;
    // The texture noise's seed when the command line fixes it.
    bool noiseSeedFixed = false;
    std::uint32_t fixedNoiseSeed = 0;
    // kTexels of terrain/texture.h, whose names (texture, seed) bind to these
    // two and stay out of the way of the rest of the game.
    std::array<unsigned char, 512 * 512> texture{};
    std::uint32_t seed = 0;
    // The next match's noise seed, once the shell, a replay or the network
    // handed one in (core/match.h), and the matches started so far.
    bool noiseSeedQueued = false;
    std::uint32_t queuedNoiseSeed = 0;
    std::uint32_t matchesStarted = 0;
    // Online play runs ticks again to put a guess right: what they do
    // again (a match loaded, the light's place told) goes without a word.
    bool quiet = false;
    float scale = 1.0f; // overall figure scale
    int quit_flag = 0;
    int fps = 0;
    int frame_count = 0;
    std::uint32_t frame_time = 0;
    std::array<char, 48> replayPlace{}; // while a replay is watched: where it is
    bool operator==(const SessionState &) const = default;
};

// What a tick of play changes: the match and the session's fields of play.
// The texels are left out: they follow from the terrain and its seed.
struct PlayRecord {
    MatchState match;
    int toggleBulletTime = 0, toggleSuperSizeMe = 0, togglePause = 0, toggleBot = 0;
    int terrainCurrent = -1, oldTerrain = -1, oldTerrain2 = 0, terrainChosenNext = -1;
    std::uint32_t seed = 0;
    bool noiseSeedQueued = false;
    std::uint32_t queuedNoiseSeed = 0;
    std::uint32_t matchesStarted = 0;
    float scale = 1.0f;
    bool operator==(const PlayRecord &) const = default;
};

// The play as it stands, and put back (the texels as they are).
PlayRecord takePlay();
void putPlay(const PlayRecord &play);

// One tick's inputs of both sides, in the order they apply.
struct TickInputs {
    std::vector<InputEvent> own{}, remote{};
    bool guessed = false; // last run without the other side's inputs
    bool operator==(const TickInputs &) const = default;
};

// Online play with both players' inputs on their own screens at once
// (net/rollback.h): the ticks both sides know for sure, the ones guessed
// past them, and the inputs of each.
struct RollbackState {
    std::uint32_t tick = 0;      // ticks run
    std::uint32_t confirmed = 0; // ticks run with both sides' inputs known
    std::uint32_t remoteRead =
        0; // the other side's inputs came in order up to the one read at this tick
    std::uint32_t ownDelay = 0, remoteDelay = 0; // ticks from a read to its effect
    // Inputs by the tick they take effect, from tick `first`: a history
    // kept for a resync, then the ticks confirmed, guessed and ahead.
    std::uint32_t first = 1;
    std::vector<TickInputs> inputs{};
    // This side's inputs by the tick they were read, from `sentFrom`: what
    // the other side has not acknowledged yet.
    std::uint32_t sentFrom = 1;
    std::vector<std::vector<InputEvent>> sent{};
    std::vector<InputEvent> late{};     // read past what one tick carries: the next tick's
    std::vector<InputEvent> handOver{}; // player 2 let go of, first in the next tick
    // Presses of the steering keys not yet let go, this side's as read and
    // the other's as they came: a release without its press is none, and a
    // hand that leaves player 2 lets go of exactly what it held.
    std::array<std::uint8_t, 8> held{}, theirHeld{};
    // The play after tick `confirmed` and its view: where a wrong guess is
    // put right from, and what a recording, a watcher and the digests see.
    PlayRecord base{};
    ViewState baseView{};
    bool guessedWrong = false;  // the ticks past `confirmed` run again
    bool joining = false;       // linked, and the other side not yet caught up (kJoinWindow)
    std::uint32_t linkedAt = 0; // the tick of the link
    std::uint32_t slowedAt = 0; // the last tick the clock held back
    bool heldBack = false;      // the last frame held a tick back
    bool stillBefore = false;   // the last frame ran no tick
    std::int32_t lead = 0;      // ahead of the other side, smoothed, in sixteenths of a tick
    // How far each side ran past the other's inputs when it last sent: this
    // side's, and the other's (its newest tick sent less its acknowledgement
    // of this side's, read from its newest packet). Half their difference is
    // this side's lead, the line's and both frames' share gone.
    std::int32_t sentLead = 0, theirLead = 0;
    std::uint32_t theirAck = 0, theirNewest = 0;
    std::uint32_t rollbacks = 0; // times a guess was put right
    bool operator==(const RollbackState &) const = default;
};

struct DigestMark {
    std::uint32_t frame = 0;
    std::uint64_t digest = 0;
    bool operator==(const DigestMark &) const = default;
};

// Online play (net/online.h), for the program's run: the side this game
// plays, the friend, and the stream's bookkeeping.
struct NetState {
    NetRole role = NetRole::Off;
    bool linked = false; // the host has a friend in; the joiner has the stream
    std::uint32_t dropped = 0;
    std::uint32_t tickCarry = 0;                   // the part of a tick the clock gave (ticksDue)
    std::uint32_t inputDelay = 0, friendDelay = 0; // --input-delay of each side
    // Digests of ticks both sides are sure of: this side's (sent with the
    // next packet) and the other's, to compare. Out of step, the host
    // sends the whole game (`resend`), and a watcher asks for it. The
    // other's go back further: a watcher may be seconds behind the host.
    std::array<DigestMark, 4> digests{};
    std::array<DigestMark, 12> theirDigests{};
    std::vector<DigestMark> digestsOut{};
    bool resend = false;
    std::uint32_t resyncs = 0; // whole games sent (host) or taken over (joiner, watcher)
    // Host: the last tick the friend may have played on its own game before
    // the last whole game sent came; watcher: the tick of the game taken.
    std::uint32_t sentWhole = 0;
    std::uint32_t endAt = 0; // the other side's last tick, once it said bye
    // Joiner: the match its welcome says the host plays (a vector, as a
    // string cannot start the record constant).
    std::vector<MatchStart> welcomeStart{};
    // Host: the inputs of the last sure ticks, from tick watchedFrom, for
    // its watchers; a watcher: the sure ticks come, not played yet.
    std::uint32_t watchedFrom = 0;
    std::vector<std::vector<InputEvent>> watched{}, ahead{};
    std::uint32_t watchers = 0; // watching the match, as the host counts them
    // A line on this screen only (the host's "Player 2 left"), and its time.
    std::array<char, 64> notice{};
    float noticeTime = 0;
    std::uint16_t port = 0;
    RollbackState rollback{};
    bool operator==(const NetState &) const = default;
};

struct GameState {
    MatchState match;
    ViewState view;
    SessionState session;
    NetState net;
    bool operator==(const GameState &) const = default;
};

extern GameState game;

extern std::array<Player, 2> &players;
extern Terrain *&terrain;
extern std::array<unsigned char, kGridPoints> &heightmap;
extern float &averageHeight;
extern Powerup &powerup;
extern int &powerupActive;
extern float &nextPowerupSpawn;
extern float &gameTime;
extern float &lightTime;
extern float &lastCollisionTime;
extern std::array<float, 4> &lightPos;
extern const std::array<float, 4> lightAmb;
extern const std::array<float, 4> lightDiff;
extern const std::array<float, 4> lightSpec;
extern std::array<float, 3> &cameraPos;
extern float &cameraRot;
extern std::array<float, 3> &cameraPosPreferred;
extern float &cameraRotPreferred;
extern vector &cameraVelocity;
extern float &sceneRot;
extern int &endGame;
extern int &winner;
// gameTime added up in double (sim/update.cpp says why).
extern double &gameClock;
namespace trail
{
// Fractional trail particles owed, shared by both balls.
extern float &remainder;
} // namespace trail
// messages and mainMessage: sim/messages.h.
extern int &w, &h;
extern int &shadersSupported;
extern int &shadowsDisabled;
extern int &toggleShadows;
extern int &toggleMultiShadows;
extern int &toggleSmooth;
extern int &toggleCameraMovement;
extern int &toggleLightMovement;
extern int &toggleBulletTime;
extern int &toggleSuperSizeMe;
extern int &togglePause;
extern int &toggleHUD;
extern int &toggleBot;
extern int &toggleLightView;

// Puts the whole game state back to its program-start value.
void resetGameState();

// Decides from the GL extension string whether shaders and shadow mapping
// are used (shadersSupported, shadowsDisabled, toggleShadows).
void probeCapabilities(const char *extensions);
// The probe says what the driver offers; an entry point that cannot be found
// switches off what needs it: shaders (and so shadows), or shadows alone.
void applyEntryPoints(bool shaderFunctions, bool shadowFunctions);
