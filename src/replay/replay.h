// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Replays: a session kept as the stream that drives play, and played again
// bit for bit on the same build. The stream is rand()'s seed, each match's
// start (the texture's noise seed and the terrain's definition line), and
// every frame's seconds with the inputs that came before it. The format is
// docs/replay-format.md. Online play drives the game with the same calls.
//
// The digest and the snapshot of the state of play (stateDigest, digestText,
// saveState, loadState) are replay/snapshot.h's, the lines of the text and
// MatchStart replay/replay_text.h's, both included here.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/input.h"
#include "replay/replay_text.h"
#include "replay/snapshot.h"

struct Terrain;

// A replay carries the digest after every this many frames.
inline constexpr std::uint64_t kReplayDigestEvery = 300;

// ---- Driving the game from a stream

// Terrain t as a line of the terrains file, every number exact (%.9g).
std::string terrainLine(const Terrain &t);
// The match now played, as a stream carries its start.
MatchStart currentMatchStart();

// Hands in the next match's start before the input that starts it (or
// before the session's first match, core/match.h's beginSession): its
// noise seed is queued, and the terrain is drawn as the game draws it. The
// one who plays the stream checks afterwards that currentMatchStart()
// agrees: a different terrains file picks or defines another terrain.
void applyMatchStart(const MatchStart &start);

// ---- Recording

struct CloseFile {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

// A session being written. Each frame's line is flushed as it is written, so
// a killed game leaves every frame it played.
struct Recorder {
    std::unique_ptr<std::FILE, CloseFile> file;
    std::vector<InputEvent> batch;    // the inputs since the last frame
    std::uint32_t matchesWritten = 0; // game.session.matchesStarted as written
    std::uint64_t frames = 0;
};

// Opens `path` and writes the header; false (errno set) if it cannot. A
// header with a state (packedState(), replay/packed_state.h, of the game as
// it is now) starts from the match under way: no first match line follows,
// and the matches started after it are written as usual.
bool startRecording(Recorder &r, const std::string &path, const ReplayHeader &header);
// After an input was applied, or after the session's first match: a match
// that started writes its line, and with it the inputs that led to it.
void recordInput(Recorder &r, const InputEvent *input);
// After a frame ran.
void recordFrame(Recorder &r, float seconds);
// The end line with the final digest; closes the file. Returns the digest.
std::uint64_t finishRecording(Recorder &r);

// ---- Playback

// A replay being played. `error` is "FILE:LINE: reason" once something is
// wrong; `status` is then 2 for a replay that cannot be read and 1 for one
// that plays differently here.
struct Playback {
    std::string path;
    std::string text;
    std::size_t next = 0; // where the next line starts
    int line = 0;         // the number of the line read last
    ReplayHeader header;
    std::optional<MatchStart> pending; // a match line whose match is yet to start
    int pendingLine = 0;
    std::uint32_t matches = 0; // game.session.matchesStarted as the lines left it
    std::uint64_t frames = 0;
    double played = 0; // the frames' seconds added up
    double length = 0; // and those of the whole replay
    std::uint64_t finalDigest = 0;
    bool ended = false;
    int status = 0;
    std::string error;
};

// Reads the replay at `path` and its header, and adds up its length; false
// with `error` set if it cannot.
bool openReplay(Playback &p, const std::string &path);
// Before the session starts: rand() seeded, the first terrain chosen, the
// first match line handed in; for a replay with a state, only rand seeded.
bool beginPlayback(Playback &p);
// After the session started: the first match checked, the bot switched on;
// or, for a replay with a state, the session begun is replaced by that
// state, its view within, on a terrain of the table just read.
bool sessionStarted(Playback &p);
// Plays the lines up to and including the next frame, and the digest and end
// lines after it. Returns the frame's seconds, or nothing at the end (ended)
// or on an error.
std::optional<float> playFrame(Playback &p);

// "Digest: HEX after N frames" and "Final digest: HEX after N frames".
void printDigest(std::uint64_t frames, bool final);
