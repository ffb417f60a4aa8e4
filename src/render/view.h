// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the picture must follow when an input changes the game under it. The
// game shows it through GL (view_gl.cpp), which does nothing while no window
// is open (a replay played headless); the pure core's tests, the soak and
// the fuzzers link view_silent.cpp.

// F5 flipped toggleSmooth.
void shadingChanged();
// A new match: the old terrain's texture and display list go, the new ones
// are made from the texels and the grid, and the shadow map is set up.
void terrainChanged();
