// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The frame update: the whole game advanced by one step.

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
