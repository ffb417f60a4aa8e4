// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Online play, the part without a network: who may do what, what the host
// streams, and how the two games stay in step. The network itself is
// net_enet.cpp; it hands in what arrives and sends what these return.
//
// The host plays as ever and streams each frame: its seconds and the inputs
// the game applied, its own and its friend's. The joiner sends its inputs
// to the host and plays the stream, so both compute the same frames.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/options.h"
#include "net/netproto.h"

struct Recorder;

// Inputs that change only this screen or leave it: the camera, the light,
// shading, shadows, the HUD, the volume, Escape. They are never streamed.
bool isLocalInput(const InputEvent &input);

// The hello this game sends, and the refusal (if any) its peer's deserves.
NetMessage hello();
std::optional<RefuseReason> checkHello(const NetMessage &hello);
// The one line either side prints on a refusal.
std::string refusalLine(RefuseReason reason, NetRole side);

// The host. A friend passed the handshake, or left (then the bot takes
// player 2 and the HUD says so). Either way player 2 is let go of first.
void friendJoined();
void friendLeft();
// What a friend gets on joining: the match as it stands, whole (rand()
// seeded afresh on both sides).
std::vector<NetMessage> welcome();
// A message from the friend: inputs for the next frame, a digest to check,
// or the last frame it played (its acknowledgement). Anything else, and inputs that are not the
// friend's to give, are counted as dropped.
void hostReceive(const NetMessage &message);
// The host's own inputs of a frame become what its game applies (`run`)
// and what the friend gets with the frame (`stream`), the friend's own
// inputs since the last frame added. A frame streams at most kMaxEvents;
// the inputs past them wait, in order, for the next.
void hostFrameInputs(std::span<const InputEvent> own, std::vector<InputEvent> &run,
                     std::vector<InputEvent> &stream);
// After each frame of `seconds`: whether a digest is due (once a second).
bool digestDue(float seconds);
// The digest message of this frame, noted to check the friend's answer against.
NetMessage digestMark(std::uint64_t digest);

// Online play advances the match in ticks of exactly 1/60 s (bullet time
// halves them, as offline), as many a drawn frame as the clock asks, at
// most kMaxTicks (offline play's cap is 0.1 s a frame): the same keys make
// the same match on a 30 Hz host and on a 144 Hz one.
inline constexpr float kTickSeconds = 1.0f / 60.0f;
inline constexpr int kMaxTicks = 6;
// The ticks due once `elapsedMs` more went by; what is left of a tick is
// carried in `carry`, in sixtieths of a millisecond.
int ticksDue(std::uint32_t &carry, std::uint32_t elapsedMs);

// The joiner. What one of its own inputs becomes for the host: its arrows,
// W A S D, first pad and Space steer player 2 and pause; the rest is not
// the joiner's to give.
std::optional<InputEvent> joinerSends(const InputEvent &input);

// One frame of the host: its own inputs sorted (hostFrameInputs), applied
// with the friend's (a match they start takes its texture's noise seed
// from `clockMs`), the frame run. What the friend gets of it waits in
// game.net.unacked until acknowledged: its tick mark, the starts of new
// matches, the frame and the digest when due. The whole game, when the
// friend went out of step or fell too far behind, goes to `out`, to be
// sent reliably.
// With a `recorder`, the frame and the inputs applied go into the replay
// as in play on one machine.
void hostFrame(float seconds, std::span<const InputEvent> own, std::uint32_t clockMs,
               std::vector<NetMessage> &out, Recorder *recorder = nullptr);
// The bytes of the next stream packet: the frames not acknowledged yet,
// oldest first, up to a bound.
std::vector<std::uint8_t> streamPacket();

// The joiner plays what came from the host, in order, each frame once;
// its answers to the digests go to `out`. Returns -1 to play on, else the exit status: 0 once
// the host left, 1 when its game cannot be followed (the reason printed).
int joinerPlay(std::span<const NetMessage> in, std::vector<NetMessage> &out);

// The digest both sides compare: the state of play less each screen's own
// camera and light.
std::uint64_t onlineDigest();

// The line the HUD shows of online play (game.net.notice) after a frame of
// `seconds`: a notice for a few seconds, else the host's wait for a friend.
const char *netNotice(float seconds);
