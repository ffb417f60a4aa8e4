// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Matches on the pure side: the session's start, each new terrain, the players' set-up.

#include <cstdint>
#include <cstdio>

// The pure part of init: the terrains read (the game stops with status 1
// without them), the first match and the players.
void beginSession();

// A new match on the next terrain: the choice (drawing rand), the texture
// from the queued noise seed, the grid (drawing rand), beginMatch; then the
// picture follows (render/view.h). Prints "Loading Map: NAME" and the
// generators' progress to `progress`.
void newTerrain(std::FILE *progress = stdout);
// Where the progress of a terrain made again unseen goes: nowhere.
std::FILE *quietProgress();
// The noise seed the next match's texture takes. The shell hands in the
// clock's (or --seed's, core/options.h) just before an input starts a match,
// a replay or the network the recorded one. Without one the next match
// takes nextNoiseSeed(0).
void queueNoiseSeed(std::uint32_t noiseSeed);

// The part of a new match that needs no GL: average height, players,
// particles, powerup and its schedule, the announcement and the camera.
// The grid of the chosen terrain must already be generated.
void beginMatch();

// Colours, defaults and start places of both players (end of init).
void setupPlayers();

// Flips a 0/1 toggle.
inline int toggled(int flag)
{
    return flag == 0 ? 1 : 0;
}

// F11 / F12: grant player 1 a boost of `kind`, or end the one it holds.
void toggleBoost(int kind);
// F10: both balls between radius 0.25 and 1.0, at once and for later matches.
void toggleSuperSize();

// Start and spawn places of the two players.
inline constexpr float kPlayer1Start[3] = {11.25f, 10.0f, 7.5f};
inline constexpr float kPlayer2Start[3] = {3.75f, 10.0f, 7.5f};
