// SPDX-License-Identifier: GPL-3.0-or-later
#include "arranger.h"
#include "music.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace sg
{

namespace
{

Layout laidOut(const SongDef &song)
{
    Layout layout;
    std::string error;
    if (!layoutSong(song, layout, error)) {
        // The songs are fixed data: a mistake in them is a bug to fix here.
        std::fprintf(stderr, "quorbly-soundgen: %s\n", error.c_str());
        std::exit(1);
    }
    return layout;
}

// Nothing may ring past the end: the next track starts right there.
double fitDuration(const Session &s, double start, double dur)
{
    constexpr double kTail = 0.35;
    return std::max(0.02, std::min(dur, s.endSeconds() - kTail - start));
}

// Drums sit under the tunes: the level callers pass is scaled by this.
constexpr double kDrumGain = 0.45;

int placeAbove(int pitchClass, int low)
{
    return low + ((pitchClass - low) % 12 + 12) % 12;
}

} // namespace

Session::Session(const SongDef &song, std::uint64_t seed)
    : layout(laidOut(song)), dry(frames(layout.seconds)), bass(dry.size()), lead(dry.size()),
      keys(dry.size()), verb(dry.size()), echo(dry.size()), rng(seed)
{
}

double Session::human(double vel)
{
    return vel * (0.94 + 0.12 * rng.uniform());
}

void playDrums(Session &s, const Bar &bar, const DrumBar &d, double level)
{
    level *= kDrumGain;
    const double t0 = s.seconds(bar.beat);
    const double st = s.stepSeconds();
    forSteps(d.kick, [&](int step, char c, int) {
        kick(s.dry, t0 + step * st, s.human(level * (c == 'g' ? 0.55 : 0.95)));
    });
    forSteps(d.snare, [&](int step, char c, int) {
        const double v = s.human(level * (c == 'g' ? 0.25 : 0.55));
        snare(s.dry, t0 + step * st, v, s.rng);
        snare(s.verb, t0 + step * st, v * 0.5, s.rng);
    });
    forSteps(d.hat, [&](int step, char c, int) {
        const double v = c == 'g' ? 0.1 : c == 'o' ? 0.16 : 0.17;
        hat(s.dry, t0 + step * st, s.human(level * v), c == 'o', 0.25, s.rng);
    });
    forSteps(d.clap, [&](int step, char, int) {
        const double v = s.human(level * 0.4);
        clap(s.dry, t0 + step * st, v, s.rng);
        clap(s.verb, t0 + step * st, v * 0.6, s.rng);
    });
}

void playFill(Session &s, const Bar &bar, double level)
{
    playDrums(s, bar, DrumBar{"x.....x.........", "....x...", "x.x.x.x.", ""}, level);
    level *= kDrumGain;
    const double t0 = s.seconds(bar.beat);
    const double st = s.stepSeconds();
    constexpr int kSnareSteps[] = {8, 10, 12, 13, 14, 15};
    for (int k = 0; k < 6; ++k)
        snare(s.dry, t0 + kSnareSteps[k] * st, s.human(level * (0.25 + 0.06 * k)), s.rng);
    tom(s.dry, t0 + 9 * st, s.human(level * 0.5), 196.0);
    tom(s.dry, t0 + 11 * st, s.human(level * 0.5), 147.0);
    kick(s.dry, t0 + 12 * st, s.human(level * 0.6));
}

void playCrash(Session &s, const Bar &bar, double level)
{
    level *= kDrumGain;
    crash(s.dry, s.seconds(bar.beat), s.human(level * 0.2), s.rng);
    crash(s.verb, s.seconds(bar.beat), level * 0.1, s.rng);
}

void playBass(Session &s, Stereo &bus, const Bar &bar, std::string_view pattern, int low,
              const Instrument &inst, double vel)
{
    const double t0 = s.seconds(bar.beat);
    const double st = s.stepSeconds();
    forSteps(pattern, [&](int step, char c, int len) {
        const Chord &ch = chordAt(bar, step / 4.0);
        int note = placeAbove(ch.root, low);
        if (c == 'O')
            note += 12;
        else if (c == '5')
            note += 7;
        else if (c == '3')
            note += ch.intervals[1];
        const double start = t0 + step * st;
        const double dur = fitDuration(s, start, len * st * 0.85);
        inst(bus, NoteEvent{start, dur, static_cast<double>(note), s.human(vel)});
    });
}

void playChords(Session &s, Stereo &bus, const Bar &bar, std::string_view pattern, int low,
                const Instrument &inst, double vel)
{
    const double t0 = s.seconds(bar.beat);
    const double st = s.stepSeconds();
    forSteps(pattern, [&](int step, char, int len) {
        const std::vector<int> notes = voicing(chordAt(bar, step / 4.0), low);
        double start = t0 + step * st;
        const double dur = fitDuration(s, start, len * st * 0.9);
        const double v = s.human(vel);
        for (int n : notes) {
            inst(bus, NoteEvent{start, dur, static_cast<double>(n), v});
            start += 0.006; // a slight strum
        }
    });
}

void playArp(Session &s, Stereo &bus, const Bar &bar, std::string_view pattern, int low,
             const Instrument &inst, double vel)
{
    const double t0 = s.seconds(bar.beat);
    const double st = s.stepSeconds();
    int count = 0;
    forSteps(pattern, [&](int step, char, int len) {
        std::vector<int> tones = voicing(chordAt(bar, step / 4.0), low);
        std::sort(tones.begin(), tones.end());
        tones.push_back(tones.front() + 12);
        tones.push_back(tones[1] + 12);
        // Up, then back down without repeating the ends.
        const int n = static_cast<int>(tones.size());
        const int cycle = 2 * n - 2;
        int i = count++ % cycle;
        if (i >= n)
            i = cycle - i;
        const double start = t0 + step * st;
        const double dur = fitDuration(s, start, len * st * 0.8);
        inst(bus, NoteEvent{start, dur, static_cast<double>(tones[static_cast<std::size_t>(i)]),
                            s.human(vel * (step % 4 == 0 ? 1.0 : 0.8))});
    });
}

void playMelody(Session &s, Stereo &bus, int section, int transpose, const Instrument &inst,
                double vel)
{
    double from = -1.0, to = -1.0;
    for (const Bar &bar : s.layout.bars) {
        if (bar.section != section)
            continue;
        if (from < 0.0)
            from = bar.beat;
        to = bar.beat + 4.0;
    }
    for (const Note &n : s.layout.melody) {
        if (n.beat < from || n.beat >= to)
            continue;
        const double start = s.seconds(n.beat);
        const double legato = n.beats >= 2.0 ? 0.95 : 0.88;
        const double dur = fitDuration(s, start, s.seconds(n.beats) * legato);
        const bool strong = std::fmod(n.beat, 1.0) == 0.0;
        inst(bus, NoteEvent{start, dur, static_cast<double>(n.midi + transpose),
                            s.human(vel * (strong ? 1.0 : 0.88))});
    }
}

Stereo finish(Session &s, double echoBeats, double echoGain, double verbGain)
{
    Stereo out = s.dry;
    const std::size_t n = out.size();
    out.mix(s.bass, 1.0);
    out.mix(s.lead, 1.0);
    out.mix(s.keys, 1.0);
    s.echo.mix(s.lead, 1.0);
    s.verb.mix(s.lead, 0.35);
    s.verb.mix(s.keys, 0.45);
    // Ping-pong: the echo bounces left, right, left, each time softer.
    const std::size_t d = frames(s.seconds(echoBeats));
    Stereo wet(n);
    OnePole tone;
    for (std::size_t i = 0; i < n; ++i) {
        const double in = 0.5 * (s.echo.l[i] + s.echo.r[i]);
        const double backL = i >= d ? wet.r[i - d] : 0.0;
        const double backR = i >= d ? wet.l[i - d] : 0.0;
        wet.l[i] = static_cast<float>(tone.lowpass(in + 0.45 * backL, 3500.0));
        wet.r[i] = static_cast<float>(0.45 * backR);
    }
    // Delay the first repeat by one whole echo time.
    Stereo echo(n);
    for (std::size_t i = d; i < n; ++i) {
        echo.l[i] = wet.l[i - d];
        echo.r[i] = wet.r[i - d];
    }
    out.mix(echo, echoGain);
    out.mix(reverb(s.verb, 0.55, 0.45), verbGain);
    fadeEdges(out, 0.002, 0.04);
    normalize(out, kMusicPeakDb);
    return out;
}

} // namespace sg
