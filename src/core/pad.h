// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Gamepads as steering: sticks and d-pads push the players' key counters; Start and Back.

#include <array>
#include <string_view>

#include "core/input.h"
#include "sim/player.h"

// Gamepads steer with the same counters as the keys: the left stick and the
// d-pad give whole pushes of -1, 0 or +1. Pad 1 steers player 1 and pad 2
// player 2 (a bot driving player 2 overwrites what pad 2 does).

inline constexpr int kPadPushAt = 11000; // about a third of the stick's travel (32767)
// A held push lets go only once the stick is back this far, so a stick
// resting at the edge of the zone does not chatter.
inline constexpr int kPadReleaseBelow = 8000;

// The d-pad's bits, as SDL 1.2 reports its hat.
inline constexpr unsigned kHatUp = 1, kHatRight = 2, kHatDown = 4, kHatLeft = 8;

// The pads' state lives in game.match (core/state.h).
extern std::array<PadState, kPadCount> &pads;

// The push of one stick axis at `value`, given the push it holds now.
int axisPush(int value, int held);
Push hatPush(unsigned hat);

// Moves the player's steering keys' counters by `delta` (+1 on a press, -1
// on the release). The press counters move by the change of the clamped
// sum of keys and pad, never set outright, so the bot's own writes and the
// reset on F4 keep their meaning.
void steerKeys(Player &player, Push delta);
// The stick's axis 0 (x) or 1 (y) of pad `pad` now reads `value`.
void padAxis(int pad, int axis, int value);
void padHat(int pad, unsigned hat);
// Player 2 handed back by the bot: no push from any source.
void resetSteering(Player &player);
// Forgets what the pads hold (start of the program, tests).
void resetPads();

// Which buttons act as Space (Start) and as F1 (Back or Select). SDL 1.2
// only numbers the buttons, and the numbering differs between the kinds of
// pads, which only the name tells apart.
struct PadButtons {
    int start;
    int back;
};
PadButtons padButtons(std::string_view padName);
