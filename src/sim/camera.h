#pragma once

void updateLight();
void updateCamera(float seconds);
