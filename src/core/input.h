// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The vocabulary of the input stream that drives play: one input that
// reaches the game between two frames, as the shell saw it (what a replay
// keeps and what online play sends), a match's start, and what each
// steering key and gamepad pushes now.

#include <cstdint>
#include <string>

// One push of the steering, each of x and y -1, 0 or +1 (+y is forward).
struct Push {
    int x;
    int y;
    bool operator==(const Push &) const = default;
};

// What starts a match: the texture's noise seed and the chosen terrain's
// definition line (terrainLine).
struct MatchStart {
    std::uint32_t noiseSeed = 0;
    std::string terrainLine;
    bool operator==(const MatchStart &) const = default;
};

enum class InputKind : std::uint8_t {
    KeyDown,   // code: the key's number (SDL 1.2's key symbols, core/keys.h)
    KeyUp,     // code: the key's number
    PadAxis,   // pad, code: the axis (0 x, 1 y), value: -32768..32767
    PadHat,    // pad, value: the d-pad's bits (core/pad.h)
    PadButton, // pad, code: what the button does (kPadButtonStart, kPadButtonBack)
};

struct InputEvent {
    InputKind kind = InputKind::KeyDown;
    int pad = 0;
    int code = 0;
    int value = 0;
    bool operator==(const InputEvent &) const = default;
};

inline constexpr int kPadCount = 2; // pads past the second steer nobody

// The pad buttons the game answers. SDL 1.2 only numbers a pad's buttons,
// and the numbers differ from pad to pad, so the shell names them after
// what they do: Start does what Space does, Back (Select) what F1 does.
inline constexpr int kPadButtonStart = 0;
inline constexpr int kPadButtonBack = 1;

// What one pad pushes now, stick (x right, y down as the axes read) and
// d-pad (y up) apart.
struct PadState {
    Push stick;
    Push hat;
    bool operator==(const PadState &) const = default;
};
