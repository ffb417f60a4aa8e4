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
// A replay in the window at its recorded pace. Escape stops, Space pauses
// the playback, F5 to F8 and P change the view; the game's own keys come
// from the replay. Returns the exit status.
int playBack(Playback &p, std::uint64_t digestEvery);
// `quorbly --replay FILE --headless`: the whole replay as fast as it runs,
// no window, GL or sound. Prints the digest every `digestEvery` frames (0:
// never) and the final one; returns the exit status.
int playHeadless(const std::string &path, std::uint64_t digestEvery);
// Online: the host's frames run on its inputs and its friend's, the
// joiner's as the host's stream brings them. Returns the exit status.
int playOnline(NetLink &link);

// The whole program: start-up, frame loop, shut-down. Returns the exit status.
int runGame(int argc, char **argv);
