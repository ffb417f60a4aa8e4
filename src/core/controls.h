// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The keyboard: what each key does to the game.

void keyDown(int key);
void keyUp(int key);
