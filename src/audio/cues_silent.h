// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The silent sound module that the pure core's tests, the soak and the
// fuzzers link instead of the mixer. It plays nothing but counts what the
// rules asked for, so a test can check the sound an event makes.

#include <array>

#include "audio/cues.h"

struct CueTally {
    std::array<int, 3> bump{};
    int bumpSmall = 0, growth = 0, speed = 0, resistance = 0, bomb = 0, whee = 0, win = 0, lose = 0,
        music1 = 0, music2 = 0, pause = 0, resume = 0, volumeDown = 0, volumeUp = 0;
    bool operator==(const CueTally &) const = default;
};
extern CueTally cueTally;
