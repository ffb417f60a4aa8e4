// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Setting the game up on a GL context (its capabilities first) and letting
// everything go at the end. A new match is core/match.h's newTerrain.

// The GL names setup makes: the three shader programs (0 without shaders)
// and the shadow map's texture and framebuffer.
extern unsigned int programBall, programTerrain, programPowerup;
extern unsigned int shadowMapTexture;
extern unsigned int shadowMapFBO;

void init();
// The context's part of init: shaders, light and GL state, shadow-map
// objects. Again, with setupShadowMap (render/view_gl.h), in a new context.
void setupGl();
void cleanup();
// Probes the driver and fetches its entry points through `lookup` (null:
// SDL's), switching off what the missing ones would need.
void setupCapabilities(void *(*lookup)(const char *name));
