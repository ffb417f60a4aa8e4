#pragma once

struct Player;

// Swept-sphere hit of a against b within this frame; -1 when no hit is handled.
float collision(Player* a, Player* b);
