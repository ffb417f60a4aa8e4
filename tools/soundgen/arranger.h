// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Shared machinery of the track renderers: a song laid out on the beat grid,
// the instrument buses, and pattern players for drums, bass, chords, arpeggios
// and the melody.

#include "dsp.h"
#include "sequencer.h"
#include "voices.h"

#include <functional>
#include <string_view>

namespace sg
{

using Instrument = std::function<void(Stereo &, const NoteEvent &)>;

struct Session {
    Layout layout;
    Stereo dry;  // drums, straight to the mix
    Stereo bass; // bass, straight to the mix
    Stereo lead; // melody: gets the echo and some reverb
    Stereo keys; // chords and arpeggios: more reverb
    Stereo verb; // reverb send
    Stereo echo; // ping-pong delay send
    Rng rng;

    Session(const SongDef &song, std::uint64_t seed);
    double seconds(double beat) const { return beat * layout.secondsPerBeat; }
    double stepSeconds() const { return layout.secondsPerBeat / 4.0; }
    double endSeconds() const { return layout.seconds; }
    // Light random velocity spread so repeated hits are not identical.
    double human(double vel);
};

// Drum patterns, 16 steps: kick and snare 'x' hit, 'g' ghost; hat 'x' closed,
// 'o' open, 'g' soft closed; clap 'x'.
struct DrumBar {
    std::string_view kick, snare, hat, clap;
};
void playDrums(Session &s, const Bar &bar, const DrumBar &d, double level);
// A snare-and-tom run over the last two beats, into the next section.
void playFill(Session &s, const Bar &bar, double level);
void playCrash(Session &s, const Bar &bar, double level);

// Bass: 'R' root, 'O' root an octave up, '5' fifth, '3' third; low is the
// lowest MIDI note the root may take.
void playBass(Session &s, Stereo &bus, const Bar &bar, std::string_view pattern, int low,
              const Instrument &inst, double vel);
// Chord hits: every symbol plays the whole voicing, '-' holds it.
void playChords(Session &s, Stereo &bus, const Bar &bar, std::string_view pattern, int low,
                const Instrument &inst, double vel);
// Arpeggio: each symbol plays the next chord tone, up through the chord and
// its octave, then back down.
void playArp(Session &s, Stereo &bus, const Bar &bar, std::string_view pattern, int low,
             const Instrument &inst, double vel);
// The melody notes that start within the bars of one section.
void playMelody(Session &s, Stereo &bus, int section, int transpose, const Instrument &inst,
                double vel);

// Reverb and delay returns mixed in, the last chord closed off cleanly, and
// the whole normalised to the music level.
Stereo finish(Session &s, double echoBeats, double echoGain, double verbGain);

} // namespace sg
