// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Losing a ball: rolling off the square, the frag it scores for the other
// player, the end of a match and the drop back in.

// Ground contact for player p: rolling off, landing, being lost below -20.
void groundContact(int p);
// A lost ball: score the frag for the other player and drop it back in.
void fragAndRespawn(int p);
