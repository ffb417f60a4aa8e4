// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The frame update: the whole game advanced by one step.
//
// What one frame reads and writes (core/frame.h's runFrame calls it, after
// the frame's inputs):
//   in   seconds (at most 0.1, halved in bullet time); the toggles of play
//        (pause, bullet time, bot, super size, camera and light movement);
//        the terrain and its grid; each player's pushes from keys and pads
//   both the players; the powerup and its schedule; the sparks; the
//        messages and the match's end; the game clocks; the game's random
//        generator; the view's camera and light (game.view); the figures'
//        animation clock
//   out  sound cues (audio/cues.h): the music asked for, the bumps, the boosts
// Nothing else: it applies no input and draws nothing.

struct Player;

// Advances the whole game by one frame.
void update(float seconds);

// The ball physics steps of one player, as the frame update runs them.
void applyDrive(Player *player, float seconds);
void applyGravity(Player *player, float seconds); // free fall or slope pull
void applyFriction(Player *player, float seconds);
void emitTrail(Player *player, float seconds);

// gameClock and trail::remainder, the update's own fields of the match,
// are core/state.h's.
