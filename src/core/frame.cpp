// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/frame.h"

#include "core/controls.h"
#include "core/match.h"
#include "sim/update.h"
#include "terrain/texture.h"

void takeInput(const InputEvent &input, std::optional<std::uint32_t> clockMs)
{
    if (clockMs && startsMatch(input))
        queueNoiseSeed(nextNoiseSeed(*clockMs));
    applyInput(input);
}

void runFrame(float seconds, std::span<const InputEvent> inputs,
              std::optional<std::uint32_t> clockMs)
{
    for (const InputEvent &input : inputs)
        takeInput(input, clockMs);
    update(seconds);
}
