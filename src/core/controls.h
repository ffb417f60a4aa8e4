// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What each input does to the game: keys, pad sticks, d-pads and buttons.
// The picture and the sound follow through render/view.h and audio/cues.h.

#include "core/input.h"

void applyInput(const InputEvent &input);
// True when `input` would start a new match now: F1 or Back, or Space or
// Start once the match is decided. The shell hands in the next noise seed
// first (core/match.h).
bool startsMatch(const InputEvent &input);

// A key's press and release (core/keys.h numbers).
void keyDown(int key);
void keyUp(int key);
