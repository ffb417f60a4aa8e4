// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The eleven sound effects. Each comes back normalised to its peak level.

#include "dsp.h"

namespace sg
{

constexpr double kEffectPeakDb = -3.0;
constexpr double kSoftEffectPeakDb = -5.0; // the small bump is a tap, not a thud

// variant 0..2: three hollow plastic thuds that differ in size and ring.
Stereo makeBump(int variant);
Stereo makeBumpSmall();
Stereo makeGrowth();
Stereo makeSpeed();
Stereo makeResistance();
Stereo makeBomb();
Stereo makeWhee();
Stereo makeWin();
Stereo makeLose();

} // namespace sg
