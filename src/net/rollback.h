// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Online play's ticks, with each side's own inputs on its own screen at
// once: the other side's are guessed (nothing new happens: what is held
// stays held) until they come, and a wrong guess is put right before the
// next picture. The state lives in game.net.rollback; the network is
// net_enet.cpp's, the messages online.cpp's.
//
// Both sides keep `base`, the play after the last tick whose inputs they
// both know for sure (`confirmed`). Each drawn frame first runs the ticks
// that became sure from there, silently: these are what a recording, a
// watcher and the digests see. When an input came for a tick that ran on a
// guess, the guessed ticks run again from the new base, before the picture;
// else the play as guessed comes back. Then the new ticks run, with sound.
// The camera and the light are this screen's own and move only in those.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "core/input.h"

struct Recorder;

// A side runs at most this many ticks past the last both know for sure,
// and waits there. At 75 ms one way the other's inputs are 6 to 12 ticks
// old when they come, one more with a packet lost; 16 ticks played again
// take about 0.6 ms.
inline constexpr std::uint32_t kRollbackWindow = 16;
// Until the other side's first inputs since the link have come and it has
// caught up within kRollbackWindow, the window is this wide: the host
// plays on at its pace while its welcome, and the joiner's first inputs
// after it, cross the line (a lost fragment of the welcome waits for
// ENet's resend, half a second or more). The friend presses nothing
// before it has the game, so the guess is nearly always right.
inline constexpr std::uint32_t kJoinWindow = 90;
// A side ahead of the other holds back at most one tick in this many.
inline constexpr std::uint32_t kSlowEvery = 8;
// Inputs that must never be guessed wrong take effect this many ticks after
// they were read, in time for the other side at 75 ms one way.
inline constexpr std::uint32_t kSureDelay = 8;
inline constexpr std::uint32_t kMaxInputDelay = 2;
// The inputs of ticks before the base kept for a resync from the host.
inline constexpr std::uint32_t kHistoryTicks = 600;

// Space, F1, F4, F9 to F12 and the pads' Start and Back: they start
// matches, pause, hand over the bot and change the rules.
bool isSureInput(const InputEvent &e);

// Online play advances the match in ticks of exactly 1/60 s (bullet time
// halves them, as offline), as many a drawn frame as the clock asks, at
// most kMaxTicks (offline play's cap is 0.1 s a frame): the same keys make
// the same match on a 30 Hz host and on a 144 Hz one.
inline constexpr float kTickSeconds = 1.0f / 60.0f;
inline constexpr int kMaxTicks = 6;
// The ticks due once `elapsedMs` more went by; what is left of a tick is
// carried in `carry`, in sixtieths of a millisecond.
int ticksDue(std::uint32_t &carry, std::uint32_t elapsedMs);

// 1, 2, I, J, K, L, U and M: they move this screen's camera and light.
// They are never sent, and take effect in the next tick, so that the view
// guessed ticks ran with is the view of the ticks both sides are sure of,
// as they ran, and its view: the two screens agree whenever nothing is
// guessed.
bool isViewInput(const InputEvent &e);

// From tick `at` on, with the play as it stands as the base: with the
// other side when game.net.linked (its inputs take effect `remoteDelay`
// ticks after it read them), else alone. This side's take effect
// `ownDelay` ticks after.
void beginTicks(std::uint32_t at, std::uint32_t ownDelay, std::uint32_t remoteDelay);
// A friend joins a side that played alone, at its tick: from the next one
// on, the friend's inputs count. Every tick run alone is sure by then.
void linkTicks(std::uint32_t ownDelay, std::uint32_t remoteDelay);
// The friend left: nothing more comes from it, and this side plays alone.
void endRemote();

// The other side's inputs read at its tick `readTick`. They come in order,
// each once: a repeat, or one past a gap, is passed over. Inputs it
// may not give (`allowed` false) are refused whole and counted, the tick
// taken as one without inputs.
void takeRemote(std::uint32_t readTick, std::span<const InputEvent> events, bool allowed);
// The other side acknowledged this side's inputs up to its tick `readTick`.
void remoteAcknowledged(std::uint32_t readTick);
// The packet of the other side's just read, whose acknowledgement came
// first in it, ran to the other's tick `newest`.
void remoteSent(std::uint32_t newest);

// Of the `due` ticks the clock asks for now: none when this side is a
// window past what it knows, one fewer now and then while it runs ahead of
// the other side by more than half a tick, and more, up to the other
// side's last tick, while behind it. `oneWayMs`, half the round trip, says
// when a join is over.
int ticksAllowed(int due, std::uint32_t oneWayMs);

// What a tick that became sure hands on, after it ran: its number and the
// inputs applied, in order (the play is that tick's, the view the base's).
using SureTick = std::function<void(std::uint32_t tick, std::span<const InputEvent> applied)>;
// Runs the ticks that became sure (into `recorder`, when there is one, and
// `sure`), and puts a wrong guess right.
void settleTicks(Recorder *recorder = nullptr, const SureTick &sure = {});
// Runs the next tick: `own` read in it (their effect maybe later), and
// the other side's inputs as known, or guessed.
void runTick(std::span<const InputEvent> own);
// This side's inputs of a frame that ran no tick: read in the next.
void readLater(std::span<const InputEvent> own);
// Online play ends on the base, its view with it: what a recording's last
// line and the final digest show, the same on both sides.
void endOnBase();
// Puts `play` back; the texels are painted again (and the view told) when
// it is on another terrain or seed.
struct PlayRecord;
void restorePlay(const PlayRecord &play);
// Takes over `play` as the base at tick `at` (a resync): the ticks since
// run again from it.
struct ViewState;
void takeBase(std::uint32_t at, const PlayRecord &play, const ViewState &view);

// Releases of what this side (or the other, `theirs`) holds of player 2's
// steering keys, its counts let go.
std::vector<InputEvent> letGoOfPlayerTwo(bool theirs);

// The clock a match started at tick `tick` takes its texture's noise seed
// from, the same on both sides.
std::uint32_t tickClockMs(std::uint32_t tick);
