// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The instruments: each renders one note (or one drum hit) into a stereo
// buffer, starting at a time in seconds.

#include "dsp.h"

namespace sg
{

struct NoteEvent {
    double time = 0.0;  // seconds
    double dur = 0.0;   // seconds the key is held
    double midi = 60.0; // pitch, fractional allowed
    double vel = 1.0;   // linear gain
};

// Pulse lead: square-ish with a touch of detuned saw, low-passed, delayed vibrato.
void pulseLead(Stereo &out, const NoteEvent &n, Pan pan, double width);
// Brassy lead: two detuned saws with a swelling filter.
void sawLead(Stereo &out, const NoteEvent &n, Pan pan, double brightness);

struct FmPatch {
    double ratio = 1.0;      // modulator : carrier
    double index = 1.0;      // modulation depth at the strike
    double indexDecay = 0.3; // seconds
    double ampDecay = 1.0;   // seconds
    double attack = 0.002;
    double release = 0.08;
};
// Two-operator FM: bells, mallets and an electric piano from one recipe.
void fmVoice(Stereo &out, const NoteEvent &n, Pan pan, const FmPatch &patch);

// Saw bass with a sine sub and a plucky resonant filter.
void bassSynth(Stereo &out, const NoteEvent &n, Pan pan, double cutoff, double envAmount);
// Filtered saw stab for chords.
void sawStab(Stereo &out, const NoteEvent &n, Pan pan, double cutoff);
// Soft square organ-like pad.
void pad(Stereo &out, const NoteEvent &n, Pan pan);

void kick(Stereo &out, double time, double vel);
void snare(Stereo &out, double time, double vel, Rng &rng);
void clap(Stereo &out, double time, double vel, Rng &rng);
void hat(Stereo &out, double time, double vel, bool open, double pan, Rng &rng);
void crash(Stereo &out, double time, double vel, Rng &rng);
void tom(Stereo &out, double time, double vel, double hz);

} // namespace sg
