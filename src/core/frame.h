// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One frame's entry. Every source of inputs (the keys and pads, a replay,
// the network, the tests' driver) hands them in through these two calls,
// and nothing else applies an input or runs the update.

#include <cstdint>
#include <optional>
#include <span>

#include "core/input.h"

// One input, as the game takes it between two frames. A match it starts
// takes its texture's noise seed from `clockMs`, the shell's tick count;
// without a clock, the stream that brought the input handed the seed in
// already (core/match.h's queueNoiseSeed).
void takeInput(const InputEvent &input, std::optional<std::uint32_t> clockMs);
// The inputs in order (takeInput), then one update of `seconds`.
void runFrame(float seconds, std::span<const InputEvent> inputs = {},
              std::optional<std::uint32_t> clockMs = std::nullopt);
