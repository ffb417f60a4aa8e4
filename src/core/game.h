#pragma once

void init();
// The context's part of init: shaders, light and GL state, shadow-map
// objects. Again, with setupShadowMap, in a new context.
void setupGl();
// Sizes the shadow map and binds it to unit 1 (each match, while shadows are on).
void setupShadowMap();
void newTerrain();
void cleanup();
