#pragma once

// The game's setup and teardown around the frame loop: init, newTerrain,
// cleanup, and the GL capability set-up they start with.

void init();
void newTerrain();
void cleanup();
// Probes the driver, fetches its entry points through `lookup` (null: SDL's)
// and builds the shader programs where they can be used.
void setupCapabilities(void *(*lookup)(const char *name));
