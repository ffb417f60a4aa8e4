// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's shell: the SDL window and its events, the projection, and
// the frame loop from start-up to shut-down.

#include <cstdint>
#include <optional>
#include <string>

#include "core/input.h"
#include "core/window_sdl.h"

union SDL_Event;

// Plays one SDL event: Alt+Enter switches the screen; a key or pad event
// the game knows is applied as its input, which is returned (a recording
// keeps it). A match it starts takes its noise seed from the clock.
std::optional<InputEvent> event(SDL_Event *event);
// The game's frame loops, side by side in core/loops_sdl.cpp: each is a
// source of inputs and seconds around core/frame.h's takeInput and runFrame.
struct Recorder;
struct Playback;
struct NetLink;

// Play on the keys and pads: events, one frame of the time since the last,
// the frame drawn. A recording keeps the inputs and the frames.
void play(Recorder *recorder, std::uint64_t digestEvery);
// A replay in the window at its recorded pace from `at` seconds on. Escape
// stops, Space pauses the playback, Left and Right seek 5 s, Page Up and
// Page Down 30 s, Home and End to the ends, Up and Down double and halve the
// pace (x1/4 to x8); F5 to F8 and P change the view; the game's own keys
// come from the replay. Returns the exit status.
int playBack(Playback &p, std::uint64_t digestEvery, double at);
// `quorbly --replay FILE --headless`: the whole replay as fast as it runs,
// no window, GL or sound. Prints the digest every `digestEvery` frames (0:
// never) and the final one; returns the exit status. With `at`, it plays
// to that time and prints the digest there instead.
int playHeadless(const std::string &path, std::uint64_t digestEvery, std::optional<double> at);
// Online: both sides' ticks run on their own inputs and the other's
// (net/rollback.h). The ticks both are sure of go to `recorder` when it
// records: the host's from the start, the joiner's into `recordPath` from
// the host's game on. Returns the exit status.
int playOnline(NetLink &link, Recorder *recorder, const std::string &recordPath);

// The whole program: start-up, frame loop, shut-down. Returns the exit status.
int runGame(int argc, char **argv);
