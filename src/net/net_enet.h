// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Online play's network, on ENet over UDP, one host and one friend: each
// side's inputs go unreliably and repeated until acknowledged, everything
// else reliably and in order. Polled once a frame and never waited on, except
// while a joiner reaches its host before the window opens.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "core/options.h"
#include "net/netproto.h"

struct Recorder;

struct _ENetHost; // ENet's own names for its host and peer
struct _ENetPeer;

struct NetHostClose {
    void operator()(_ENetHost *host) const;
};

// A peer that connected to the host and has not said hello yet.
struct NetCaller {
    _ENetPeer *peer = nullptr;
    std::uint32_t since = 0; // milliseconds, a steady clock
};

// A watcher of the host's, and the last sure tick it acknowledged.
struct NetWatcher {
    _ENetPeer *peer = nullptr;
    std::uint32_t acked = 0; // the last tick it has; past the host's, it gets the whole game
    std::optional<std::uint32_t> askedAt{}; // when it last asked for the whole game again (ms)
    bool hasGame = false;                   // it acknowledged a tick: the shorter leash
};

struct NetLink {
    std::unique_ptr<_ENetHost, NetHostClose> host;
    _ENetPeer *peer = nullptr;        // the friend, or the joiner's host; ENet's to free
    std::vector<NetCaller> callers;   // the host's, each let go unless it says hello in time
    std::vector<NetWatcher> watchers; // the host's
    bool hostGone = false;            // the joiner lost its host
    std::vector<std::uint8_t> batch;  // messages to go out with the next flush
    std::uint32_t lastSent = 0;       // the last input packet, ms on a steady clock
    std::vector<NetMessage> inbox;    // the joiner's, from the host, to play in order
    std::uint32_t frameUs = 0;        // the last frame's ticks took this long, rollback and all
    bool friendPlays = false;         // the host's friend has its game: the shorter leash
    std::vector<InputEvent> unplayed; // read in a frame that took the host's game: the next's
};

// Opens the link the options ask for: binds the host's UDP port, or finds
// and reaches the host, says hello and waits for its game (or its refusal)
// up to 10 s. Returns -1 to play on, else the exit status, its reason
// printed in one line.
int openNet(const Options &options, NetLink &link);
// Everything that arrived since the last call: connections and leavings
// are handled, the host's friend's messages go to the online session, and
// the joiner's messages from the host are appended to its inbox.
void pollNet(NetLink &link);
// Queues a message for the peer; `flushNet` sends the queue at once as one
// reliable packet.
void sendNet(NetLink &link, const NetMessage &message);
void flushNet(NetLink &link);
// One drawn frame of either player, `elapsedMs` after the last: what
// arrived, then its own inputs and ticks (net/online.h's playerFrame), and
// its inputs sent (unreliable, repeating what is not acknowledged) at most
// every `batchMs`. A frame that took the host's game over (the welcome, a
// resync) plays no tick, so that a recording can start from it; its own
// inputs go with the next frame's. Returns -1 to play on, else the
// joiner's exit status.
int netStep(NetLink &link, std::uint32_t elapsedMs, std::span<const InputEvent> own,
            std::uint32_t batchMs, Recorder *recorder = nullptr);
// Bytes sent and received so far, as they go over the wire: ENet's and
// the IPv4 and UDP headers included.
std::uint64_t netBytesSent(const NetLink &link);
std::uint64_t netBytesReceived(const NetLink &link);
// ENet's mean round trip to the peer, in milliseconds (0 without one).
std::uint32_t netRoundTripMs(const NetLink &link);
// Says bye and closes. A side `quitting` of its own accord first ends the
// match with the other on one tick, the last it played (waiting briefly):
// its last inputs acknowledged, the bye after them, and every tick up to it
// sure here (into `recorder`).
void closeNet(NetLink &link, Recorder *recorder = nullptr, bool quitting = true);
