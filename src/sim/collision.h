// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Two balls meeting: the swept hit, the elastic rebound, sparks and a bump.

struct Player;

// Swept-sphere hit of a against b within this frame; -1 when no hit is handled.
float collision(Player *a, Player *b);

// A hit whose momentum exchange exceeds 5 gets the loud bump, else the soft one.
bool loudBump(float optimisedP);
