// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Online play, the part without a network: who may do what, what the host
// streams, and how the two games stay in step. The network itself is
// net_enet.cpp; it hands in what arrives and sends what these return.
//
// Each side plays its own inputs at once and sends them to the other, which
// guesses until they come (net/rollback.h). The host sends the joiner the
// whole game to start from, and again when a digest shows the two apart.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/options.h"
#include "net/netproto.h"
#include "net/rollback.h"

struct Recorder;

// Inputs that change only this screen or leave it: the camera, the light,
// shading, shadows, the HUD, the volume, Escape. They are never streamed.
bool isLocalInput(const InputEvent &input);

// The hello this game sends (with its input delay, the ticks between its
// player's keys and their effect), and the refusal (if any) its peer's
// deserves.
NetMessage hello(std::uint32_t inputDelay = 0);
std::optional<RefuseReason> checkHello(const NetMessage &hello);
// The one line either side prints on a refusal.
std::string refusalLine(RefuseReason reason, NetRole side);

// The host. A friend passed the handshake (its inputs take effect
// `friendDelay` ticks after it read them), or left (then the bot takes
// player 2 and the HUD says so). Either way player 2 is let go of first.
void friendJoined(std::uint32_t friendDelay);
void friendLeft();
// What a friend gets on joining: the host's hello, the match as it stands
// and the whole game both sides start from.
std::vector<NetMessage> welcome();

// Both players. A message from the other: its inputs, its acknowledgement
// of ours, a digest to compare; on the joiner the host's hello, match and
// whole game (the welcome, or a resync), its bye, a refusal. Anything else
// is counted as dropped. Returns -1 to play on, else the joiner's exit
// status (the reason printed).
int playerReceive(const NetMessage &message);
// One drawn frame, `elapsedMs` after the last: this screen's own inputs
// (those of this screen alone applied at once, the rest read in the next
// tick), the ticks that became sure (net/rollback.h; into `recorder` when
// there is one), then the ticks the clock asks for. The whole game for a
// friend out of step goes to `reliable`. Returns the ticks run.
int playerFrame(std::uint32_t elapsedMs, std::span<const InputEvent> own, std::uint32_t oneWayMs,
                std::vector<NetMessage> &reliable, Recorder *recorder = nullptr);
// The host's watchers. What one gets on joining: the host's hello, the match
// and the whole game both players are sure of. Then, unreliably, the sure
// ticks' inputs after the last it acknowledged (`acked`), as they apply,
// and the digests; a watcher too far behind gets the whole game again, to
// `reliable`, and `acked` moves on to it.
std::vector<NetMessage> watchWelcome();
std::vector<std::uint8_t> watchPacket(std::uint32_t &acked, std::vector<NetMessage> &reliable);

// A watcher. A message from the host: the sure ticks, the digests, the
// whole game, its bye; -1 to watch on, else the exit status. Then one drawn
// frame: this screen's own inputs, and the sure ticks that came played, at
// most kMaxTicks (into `recorder` when there is one). Returns the ticks
// played.
int watcherReceive(const NetMessage &message);
int watcherFrame(std::span<const InputEvent> own, Recorder *recorder = nullptr);

// The ticks that became sure run (net/rollback.h's settleTicks): into
// `recorder`, to the watchers, and their digests.
void settleSure(Recorder *recorder);
// The bytes of the next input packet, sent unreliably: the acknowledgement
// of the other's inputs, this side's not acknowledged yet, and the digests
// due.
std::vector<std::uint8_t> inputPacket();
// Starts a recording at the base, the tick both sides are sure of: the
// joiner's, from the host's game, and again from it after a resync (what
// was recorded before went out of step). False (errno set) if it cannot.
bool recordFromBase(Recorder &recorder, const std::string &path);
// The other side said bye after a tick, and this side is sure of every
// tick up to it.
bool sessionOver();

// The joiner. What one of its own inputs becomes for the host: its arrows,
// W A S D, first pad and Space steer player 2 and pause; the rest is not
// the joiner's to give.
std::optional<InputEvent> joinerSends(const InputEvent &input);

// The digest both sides compare: the state of play less each screen's own
// camera and light.
std::uint64_t onlineDigest();

// The line the HUD shows of online play (game.net.notice) after a frame of
// `seconds`: a notice for a few seconds, else the host's wait for a friend.
const char *netNotice(float seconds);
