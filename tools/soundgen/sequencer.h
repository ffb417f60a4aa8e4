// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A tiny sequencer: songs are written as chord bars and note lists, then laid
// out on a beat grid that the track renderers walk bar by bar.
//
//   notes:  "A4:.5 C5:.5 F5:1 r:2"  name+octave (or r for a rest) : beats
//   chords: "F | C | Bb C | F"      one bar per '|', a bar may split evenly

#include <string>
#include <string_view>
#include <vector>

namespace sg
{

struct Note {
    double beat = 0.0;  // start, in beats from the song's start
    double beats = 0.0; // length
    int midi = 60;
};

// MIDI number of "C4" (60), "F#3", "Bb5"; -1 if the name is not a note.
int noteNumber(std::string_view name);

// Appends the notes of a list starting at startBeat; rests advance time only.
// Returns the number of beats the list spans, or -1 on a bad token.
double parseNotes(std::string_view text, double startBeat, std::vector<Note> &out);

struct Chord {
    int root = 0;               // pitch class 0..11
    std::vector<int> intervals; // semitones above the root, root first
};

// "C", "Dm", "Bb", "F#m", "G7", "Am7", "Fmaj7", "Csus4"; false if unknown.
bool parseChord(std::string_view name, Chord &out);

struct SectionDef {
    char kind = 'A'; // I intro, A, B, O outro
    std::string_view chords;
    std::string_view melody; // empty: no melody in this section
};

struct SongDef {
    std::string_view name;
    double bpm = 120.0;
    int tonic = 0; // pitch class of the key
    std::vector<SectionDef> sections;
};

struct Bar {
    double beat = 0.0;         // start beat
    std::vector<Chord> chords; // split evenly over the bar's four beats
    char kind = 'A';
    int section = 0; // index into the song's sections
    int indexInSection = 0;
    bool lastInSection = false;
    bool firstInSection = false;
};

struct Layout {
    std::vector<Bar> bars;
    std::vector<Note> melody;
    double seconds = 0.0;
    double secondsPerBeat = 0.5;
};

// Lays out a song in 4/4; fails with a message when a melody does not fill
// its section exactly or a chord or note is unknown.
bool layoutSong(const SongDef &song, Layout &out, std::string &error);

// The chord sounding at beat offset 0..4 within a bar.
const Chord &chordAt(const Bar &bar, double beatInBar);

// Chord tones placed within [low, low + 12): a close voicing that moves little
// from chord to chord.
std::vector<int> voicing(const Chord &chord, int low);

// Walks a 16-step pattern: calls fn(step, symbol, lengthInSteps) for every
// symbol other than '.' and '-'; '-' extends the previous symbol.
template <class F> void forSteps(std::string_view pattern, F &&fn)
{
    const int n = static_cast<int>(pattern.size());
    for (int i = 0; i < n; ++i) {
        const char c = pattern[static_cast<std::size_t>(i)];
        if (c == '.' || c == '-' || c == ' ')
            continue;
        int len = 1;
        while (i + len < n && pattern[static_cast<std::size_t>(i + len)] == '-')
            ++len;
        fn(i, c, len);
    }
}

} // namespace sg
