// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The lines of a replay's text (docs/replay-format.md), as records.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/input.h"
#include "replay/snapshot.h"

// The version this game writes at most and reads: 1 for a session from its
// start, 2 for one that starts from a state of play (its `state` line).
inline constexpr int kReplayFormat = 2;

// How the session began: rand()'s seed, the bot on from the start (--bot),
// the first terrain chosen (--terrain, its index; -1 drawn). A recording
// that begins in a match under way starts from `state` instead, the game
// then as replay/packed_state.h packs it; bot and terrain are in there.
struct ReplayHeader {
    std::string gameVersion;
    std::uint32_t randSeed = 0;
    bool bot = false;
    int firstTerrain = -1;
    std::optional<std::vector<std::uint8_t>> state = std::nullopt;
    int format = 1; // the version read
};

// One line after the header.
struct ReplayLine {
    enum class Kind { Frame, Inputs, Match, Digest, End };
    Kind kind = Kind::Frame;
    float seconds = 0;                // Frame
    std::vector<InputEvent> inputs;   // Frame, Inputs
    MatchStart match;                 // Match
    std::uint64_t frame = 0;          // Digest, End: frames played so far
    std::uint64_t digest = 0;         // Digest, End
    std::optional<PartDigests> parts; // Digest, End: each part's beside it
};

// The header's lines, each ended by a newline.
std::string formatHeader(const ReplayHeader &header);
// Reads header line `n` (from 0) into `header`; returns the reason it
// cannot be that line, or nothing. From the fourth line on, a line that is
// neither `bot`, `terrain N` nor `state BASE64` (version 2 only) sets
// `over`: the header ended before it; so does any line after the state.
std::optional<std::string> parseHeaderLine(std::string_view text, int n, ReplayHeader &header,
                                           bool &over);
// One line, without its newline.
std::string formatLine(const ReplayLine &line);
// Reads one line (without its newline) into `line`; returns the reason it
// cannot, or nothing.
std::optional<std::string> parseLine(std::string_view text, ReplayLine &line);
