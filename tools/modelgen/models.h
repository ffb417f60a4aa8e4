// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mesh.h"

// The six figure models. The hamster faces +x with its body about the origin;
// drawRat puts the head at (2, 0, 0) and the feet at (0.9, -0.8, +-1) and
// (-0.8, -0.8, +-1) of the body, so each part is built about its own joint.
namespace modelgen
{

Mesh hamsterBody();
Mesh hamsterHead();
Mesh frontFoot();
Mesh backFoot();
Mesh cage(); // bars on a ball of radius 1
Mesh gem();  // the powerup item, about one unit across

} // namespace modelgen
