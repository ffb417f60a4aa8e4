// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The GL side of the view (render/view.h) that the shell itself calls.

// Sizes the shadow map and binds it to unit 1 (each match, while shadows are on).
void setupShadowMap();
