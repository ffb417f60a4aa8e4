// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Setting the game up on a GL context (its capabilities first), starting a
// match on a new terrain, and letting everything go at the end.

void init();
// The context's part of init: shaders, light and GL state, shadow-map
// objects. Again, with setupShadowMap, in a new context.
void setupGl();
// Sizes the shadow map and binds it to unit 1 (each match, while shadows are on).
void setupShadowMap();
void newTerrain();
void cleanup();
// Probes the driver and fetches its entry points through `lookup` (null:
// SDL's), switching off what the missing ones would need.
void setupCapabilities(void *(*lookup)(const char *name));
