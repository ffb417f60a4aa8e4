// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/view.h"

// No picture: nothing to follow.

void shadingChanged() {}
void terrainChanged() {}
