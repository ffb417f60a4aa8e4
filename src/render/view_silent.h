// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The silent view notes which match's terrain the picture would show, so a
// test can check that a new match, a seek into another one and a takeover
// of the host's game each show their own.

#include <cstdint>

// The matches started (the session's count) when the terrain was last shown.
extern std::uint32_t shownTerrainOf;
