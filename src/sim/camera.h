// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The light's circle and the camera that follows play (or orbits the
// winner).

void updateLight();
void updateCamera(float seconds);
