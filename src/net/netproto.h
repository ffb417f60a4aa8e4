// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the host and the joiner say to each other, and its bytes on the wire.
// One network packet carries one or more messages back to back; a packet
// with anything wrong in it is dropped whole. The host's frames go
// unreliably, each after a tick mark, and each packet repeats the frames the
// joiner has not acknowledged yet.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/input.h"

// Raised whenever the bytes or the meaning of a message change: a joiner
// must speak exactly the host's protocol, and play exactly its game.
inline constexpr std::uint16_t kProtocolVersion = 4;

enum class NetKind : std::uint8_t {
    Hello = 1,  // both ways: protocol, text (game version), inputDelay (the sender's)
    Refuse,     // host -> joiner: reason
    MatchStart, // host -> joiner: seed (texture noise), text (terrain line)
    Frame,      // host -> joiner: seconds (the float's bits), events
    Input,      // joiner -> host: frame (the message's number, from 1), events
    Digest,     // both ways: frame, digest
    FullState,  // host -> joiner: frame, state (the game's generator within)
    Bye,        // either side: leaving after tick `frame`, its last
    Tick,       // host -> joiner: frame; the messages of that frame follow
    Ack,        // both ways: frame, the last tick of the other's inputs taken
    Inputs,     // both ways: frame (the first tick), ticks (each one's inputs, as read);
                // host -> watcher: the sure ticks' inputs, as they apply
    Watch,      // watcher -> host: text (game version), protocol
    Watching,   // host -> friend: frame, the number of watchers
};

enum class RefuseReason : std::uint8_t { Version = 1, Full };

struct NetMessage {
    NetKind kind = NetKind::Bye;
    std::uint16_t protocol = 0;
    RefuseReason reason = RefuseReason::Full;
    std::uint32_t seed = 0;
    std::string text{};
    std::uint32_t inputDelay = 0;
    std::uint32_t secondsBits = 0;
    std::vector<InputEvent> events{};
    std::uint32_t frame = 0;
    std::uint64_t digest = 0;
    std::vector<std::uint8_t> state{};
    std::vector<std::vector<InputEvent>> ticks{};
    bool operator==(const NetMessage &) const = default;
};

// Limits the decoder holds every message to.
inline constexpr std::size_t kMaxVersionText = 32;
inline constexpr std::size_t kMaxTerrainLine = 1024;
inline constexpr std::size_t kMaxEvents = 255;    // per frame, input message or tick
inline constexpr std::size_t kMaxWireTicks = 255; // per inputs message
inline constexpr std::size_t kMaxState = 8u << 20;
inline constexpr int kKeyLimit = 512; // key numbers 0..511 (SDL 1.2 stops at 322)
inline constexpr int kPadLimit = 2;

// Appends the message's bytes to `out`. Events past kMaxEvents and text past
// its limit are not sent; the rest must already be in range.
void encodeMessage(const NetMessage &message, std::vector<std::uint8_t> &out);
// The messages of one packet, or nothing when any byte is out of place.
std::optional<std::vector<NetMessage>> decodePacket(std::span<const std::uint8_t> bytes);

// The seconds of a frame as the message carries them.
std::uint32_t secondsToBits(float seconds);
float bitsToSeconds(std::uint32_t bits);
