#pragma once

// The part of a new match that needs no GL: average height, players,
// particles, powerup and its schedule, the announcement and the camera.
// The grid of the chosen terrain must already be generated.
void beginMatch();

// Colours, defaults and start places of both players (end of init).
void setupPlayers();

// Start and spawn places of the two players.
inline constexpr float kPlayer1Start[3] = {11.25f, 10.0f, 7.5f};
inline constexpr float kPlayer2Start[3] = {3.75f, 10.0f, 7.5f};
