// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Watching a replay: snapshots of the whole game kept while it plays, so that
// it can be played from any of its times, and the line that says where it is.
//
// A seek lands where straight playback is once its played time passed the
// target (the first frame after it), bit for bit: back, it restores the last
// snapshot at or before the target and plays on headless from there; forward,
// it plays on headless, from a later snapshot where one was kept.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/state.h"
#include "replay/replay.h"

// Recorded seconds between two snapshots: a seek back plays at most this
// much, and a ten-minute replay keeps 120 of them.
inline constexpr double kSnapshotEvery = 5.0;

// Where the Playback stands in its text, and its counters.
struct ReplayMark {
    std::size_t next = 0;
    int line = 0;
    std::optional<MatchStart> pending;
    int pendingLine = 0;
    std::uint32_t matches = 0;
    std::uint64_t frames = 0;
    double played = 0;
    std::uint64_t finalDigest = 0;
    bool ended = false;
};

// The game of play (core/state.h's PlayRecord), its view and texels (the
// window, the drawing's toggles and online play stay as the screen has
// them), and the mark.
struct ReplaySnapshot {
    ReplayMark mark;
    PlayRecord play;
    ViewState view;
    decltype(SessionState::texture) texels;
};

// The snapshots in order of played time; the first is the session's start.
struct Timeline {
    std::vector<ReplaySnapshot> snapshots;
};

// After sessionStarted and after every frame: keeps a snapshot when the
// replay passed the last one by kSnapshotEvery (the first one at once).
void keepSnapshot(Timeline &t, const Playback &p);
// Plays to `seconds` (none before 0; the end at most) with the effects
// muted. False on an error of the replay (p.error).
bool seekTo(Playback &p, Timeline &t, double seconds);
// The viewer's side of watching in the window: where the screen is in the
// replay's time, the speed (2 to the power `pace`, x1/4 to x8) and the pause.
struct Watching {
    double at = 0;
    int pace = 0;
    bool paused = false;
};
// A key while watching: Space pauses and plays on, Up and Down change the
// speed, Left and Right seek 5 s, Page Up and Down 30 s, Home and End to
// the ends. False for any other key.
bool watchKey(Watching &watch, int key, Playback &p, Timeline &t);
// "1:23 / 4:56", then " x2" or " x1/4" off the recorded pace, then " paused".
std::string placeText(double played, double length, double speed, bool paused);
