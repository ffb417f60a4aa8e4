// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Float clocks that keep running: the light, the figures' animation, the
// powerup's colour cycle and the winner's orbit.

// Adds `step` to the clock shown as the float `shown`, whose whole value
// `total` is kept in double. While a float sum would move, the clock moves
// exactly as that sum, bit for bit; a step too small to move the float (after
// hours at a high frame rate) adds up in double until it shows, where the
// float sum would stand still for good. A `shown` set from outside is taken
// over.
inline void addTime(float &shown, double &total, float step)
{
    if (static_cast<float>(total) != shown)
        total = shown;
    const float next = shown + step;
    if (next != shown)
        total = next;
    else
        total += step;
    shown = static_cast<float>(total);
}
