// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The state of play as one digest and as one block of bytes.
//
// Both cover the same fields: all of game.match (the terrain as its index in
// the terrains table), game.view (the camera, the light and whether they
// move), and what of game.session plays a part in play: the toggles of play
// (bullet time, super size, pause, bot), the terrain choice, the texels and
// their noise seed, the queued noise seed, the matches started and the
// figure scale. Left out are the drawing's toggles (F5 to F8, P) and what
// the driver offers, the window, the frame counter, the quit request, the replay's place,
// and where --seed's texture seeds come from.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A hash over the fields above, floats by their bits: the same play gives the
// same digest on the same build, whatever the addresses, the clock or the
// window. Online, each screen's own view is left out.
std::uint64_t stateDigest(bool withView = true);
// The parts of the record, each with a digest of its own beside the whole
// one, so that a replay that went apart can say where.
enum class StatePart : std::uint8_t { Players, Grid, Powerup, Messages, Particles, Clocks, View };
inline constexpr std::size_t kStateParts = 7;
inline constexpr std::array<std::string_view, kStateParts> kStatePartNames{
    "players", "grid", "powerup", "messages", "particles", "clocks", "view"};
using PartDigests = std::array<std::uint32_t, kStateParts>;
PartDigests partDigests();
// The names of the parts whose digests differ, comma-separated.
std::string partsApart(const PartDigests &here, const PartDigests &recorded);
// 16 lower-case hex digits.
std::string digestText(std::uint64_t digest);

// The fields above as bytes, and back. loadState takes a block only if it is
// whole and sane (the terrain index within the loaded table, the particle
// ring index within the pool, the generator's taps 3 apart within its
// table, the texts terminated); else it changes nothing and returns false.
// Without the view, this screen keeps its own. A game from elsewhere (the
// network) must be on a terrain of the table; a test's own snapshot may be
// on none.
std::vector<std::uint8_t> saveState();
enum class Terrainless : bool { Allowed, Refused };
bool loadState(std::span<const std::uint8_t> bytes, bool withView = true,
               Terrainless terrainless = Terrainless::Allowed);
