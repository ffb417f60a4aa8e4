#pragma once

void init();
void newTerrain();
void cleanup();
