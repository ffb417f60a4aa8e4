// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The whole state of play as a small block: saveState()'s bytes deflated,
// for the network's full game and a replay's start. The texels are left out
// (zeroes deflate to nearly nothing) and painted again from the noise seed.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

// The most a packed state may hold unpacked; saveState() is far below it.
inline constexpr std::size_t kMaxUnpackedState = 8u << 20;

// The raw size (4 bytes, least significant first), then saveState() with
// the texels zeroed, deflated by zlib.
std::vector<std::uint8_t> packedState();
// Takes a packed state, on a terrain of the loaded table (Terrainless::Refused),
// and paints the texels from its noise seed, printing the texture's progress
// to `progress`. False, changing nothing, for a block that is cut, corrupt,
// too big or not a sane state. Without the view this screen keeps its own.
bool loadPackedState(std::span<const std::uint8_t> packed, bool withView = true,
                     std::FILE *progress = stdout);
