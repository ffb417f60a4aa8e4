// SPDX-License-Identifier: GPL-3.0-or-later
#include "voices.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace sg
{

void pulseLead(Stereo &out, const NoteEvent &n, Pan pan, double width)
{
    const double hz = midiToHz(n.midi);
    const double release = 0.07;
    const std::size_t start = frames(n.time);
    const std::size_t len = frames(n.dur + release * 5.0);
    Osc a, b;
    b.phase = 0.37;
    Svf f;
    PercStep cutEnv(0.002, 0.12);
    AdsrStep amp(n.dur, 0.005, 0.15, 0.7, release);
    for (std::size_t i = 0; i < len; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double vibDepth = 0.005 * std::clamp((t - 0.22) / 0.3, 0.0, 1.0);
        const double fr = hz * (1.0 + vibDepth * sinTurns(5.6 * t));
        const double x = 0.75 * a.pulse(fr, width) + 0.35 * b.saw(fr * 1.004);
        const double cutoff = 900.0 + hz * 2.5 + 2600.0 * cutEnv.next();
        f.run(x, cutoff, 1.1);
        out.add(start + i, f.lp * amp.next() * n.vel, pan);
    }
}

void sawLead(Stereo &out, const NoteEvent &n, Pan pan, double brightness)
{
    const double hz = midiToHz(n.midi);
    const double release = 0.06;
    const std::size_t start = frames(n.time);
    const std::size_t len = frames(n.dur + release * 5.0);
    Osc a, b, c;
    b.phase = 0.21;
    c.phase = 0.58;
    Svf f;
    Decay swellIn(0.045), settle(0.4);
    AdsrStep amp(n.dur, 0.02, 0.3, 0.8, release);
    for (std::size_t i = 0; i < len; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double vibDepth = 0.006 * std::clamp((t - 0.25) / 0.3, 0.0, 1.0);
        const double fr = hz * (1.0 + vibDepth * sinTurns(5.2 * t));
        const double x =
            0.5 * a.saw(fr * 0.9965) + 0.5 * b.saw(fr * 1.0035) + 0.3 * c.pulse(fr, 0.5);
        // Brass opens up after the attack rather than at it.
        const double swell = 1.0 - swellIn.next();
        const double cutoff =
            500.0 + hz * 1.5 + brightness * 3200.0 * swell * (0.6 + 0.4 * settle.next());
        f.run(x, cutoff, 0.8);
        out.add(start + i, f.lp * amp.next() * n.vel, pan);
    }
}

void fmVoice(Stereo &out, const NoteEvent &n, Pan pan, const FmPatch &p)
{
    const double hz = midiToHz(n.midi);
    const std::size_t start = frames(n.time);
    const double ring = std::min(n.dur, p.ampDecay * 5.0);
    const std::size_t len = frames(ring + p.release * 6.0);
    double cph = 0.0, mph = 0.0;
    Decay indexFall(p.indexDecay);
    PercStep strike(p.attack, p.ampDecay);
    const double gateFrames = n.dur * kRate;
    Decay release = decayFrom(p.release, std::floor(gateFrames) + 1.0, gateFrames);
    for (std::size_t i = 0; i < len; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double index = p.index * indexFall.next();
        const double mod = sinTurns(mph) * index;
        const double v = sinTurns(cph + mod / (2.0 * kPi));
        cph += hz / kRate;
        mph += hz * p.ratio / kRate;
        cph -= std::floor(cph);
        mph -= std::floor(mph);
        double env = strike.next();
        if (t > n.dur)
            env *= release.next();
        out.add(start + i, v * env * n.vel, pan);
    }
}

void bassSynth(Stereo &out, const NoteEvent &n, Pan pan, double cutoff, double envAmount)
{
    const double hz = midiToHz(n.midi);
    const double release = 0.03;
    const std::size_t start = frames(n.time);
    const std::size_t len = frames(n.dur + release * 5.0);
    Osc a, sub;
    Svf f;
    PercStep cutEnv(0.001, 0.07);
    AdsrStep amp(n.dur, 0.003, 0.25, 0.75, release);
    for (std::size_t i = 0; i < len; ++i) {
        const double x = 0.7 * a.saw(hz) + 0.6 * sub.sine(hz);
        f.run(x, cutoff + envAmount * cutEnv.next(), 2.2);
        out.add(start + i, f.lp * amp.next() * n.vel, pan);
    }
}

void sawStab(Stereo &out, const NoteEvent &n, Pan pan, double cutoff)
{
    const double hz = midiToHz(n.midi);
    const double release = 0.05;
    const std::size_t start = frames(n.time);
    const std::size_t len = frames(n.dur + release * 5.0);
    Osc a, b;
    b.phase = 0.5;
    Svf f;
    PercStep cutEnv(0.001, 0.09);
    AdsrStep amp(n.dur, 0.003, 0.1, 0.5, release);
    for (std::size_t i = 0; i < len; ++i) {
        const double x = 0.5 * a.saw(hz * 0.996) + 0.5 * b.saw(hz * 1.004);
        f.run(x, cutoff * (0.5 + 0.9 * cutEnv.next()), 1.4);
        out.add(start + i, f.lp * amp.next() * n.vel, pan);
    }
}

void pad(Stereo &out, const NoteEvent &n, Pan pan)
{
    const double hz = midiToHz(n.midi);
    const double release = 0.25;
    const std::size_t start = frames(n.time);
    const std::size_t len = frames(n.dur + release * 4.0);
    Osc a, b, lfo;
    b.phase = 0.3;
    Svf f;
    AdsrStep amp(n.dur, 0.12, 0.5, 0.8, release);
    for (std::size_t i = 0; i < len; ++i) {
        const double x = 0.5 * a.pulse(hz, 0.5) + 0.5 * b.triangle(hz * 2.002);
        f.run(x, 1100.0 + 300.0 * lfo.sine(0.7), 0.7);
        out.add(start + i, f.lp * amp.next() * n.vel, pan);
    }
}

void kick(Stereo &out, double time, double vel)
{
    const std::size_t start = frames(time);
    const std::size_t len = frames(0.4);
    double ph = 0.0;
    Decay drop(0.03), clickFall(0.002);
    PercStep amp(0.001, 0.17);
    for (std::size_t i = 0; i < len; ++i) {
        const double hz = 48.0 + 120.0 * drop.next();
        ph += hz / kRate;
        const double body = sinTurns(ph) * amp.next();
        const double click = clickFall.next() * 0.4;
        out.add(start + i, softClip(1.6 * (body + click)) * vel, Pan(0.0));
    }
}

void snare(Stereo &out, double time, double vel, Rng &rng)
{
    const std::size_t start = frames(time);
    const std::size_t len = frames(0.3);
    Osc t1, t2;
    Svf fl, fr;
    Decay toneFall(0.04), noiseFall(0.075);
    for (std::size_t i = 0; i < len; ++i) {
        const double tone = (0.6 * t1.sine(190.0) + 0.4 * t2.sine(330.0)) * toneFall.next();
        const double env = noiseFall.next();
        fl.run(rng.bipolar(), 1800.0, 0.5);
        fr.run(rng.bipolar(), 1900.0, 0.5);
        const double body = tone * 0.7;
        if (start + i < out.size()) {
            out.l[start + i] += static_cast<float>((body + (fl.hp + 0.5 * fl.bp) * env) * vel);
            out.r[start + i] += static_cast<float>((body + (fr.hp + 0.5 * fr.bp) * env) * vel);
        }
    }
}

void clap(Stereo &out, double time, double vel, Rng &rng)
{
    const std::size_t start = frames(time);
    const std::size_t len = frames(0.25);
    Svf f;
    for (std::size_t i = 0; i < len; ++i) {
        const double t = static_cast<double>(i) / kRate;
        // Three quick slaps, then the room.
        const double slaps = expApprox(-std::fmod(t, 0.011) / 0.003) * (t < 0.033 ? 1.0 : 0.0);
        const double env =
            std::max(slaps, 0.7 * expApprox(-(t - 0.033) / 0.06) * (t >= 0.033 ? 1.0 : 0.0));
        f.run(rng.bipolar(), 1300.0, 1.5);
        out.add(start + i, f.bp * env * vel * 1.6, Pan(0.1));
    }
}

void hat(Stereo &out, double time, double vel, bool open, double pan, Rng &rng)
{
    // Inharmonic squares over noise: metal, not hiss.
    static constexpr std::array<double, 6> kPartials{317.0, 471.0, 553.0, 789.0, 843.0, 1127.0};
    const std::size_t start = frames(time);
    const double decay = open ? 0.13 : 0.028;
    const std::size_t len = frames(decay * 5.0);
    // Plain squares: their aliasing is part of the metal, and the high-pass
    // keeps only the top anyway.
    std::array<double, 6> phase{};
    Svf f;
    PercStep amp(0.0005, decay);
    const Pan p(pan);
    for (std::size_t i = 0; i < len; ++i) {
        double metal = 0.0;
        for (std::size_t k = 0; k < phase.size(); ++k) {
            phase[k] += kPartials[k] * 2.0 / kRate;
            phase[k] -= std::floor(phase[k]);
            metal += phase[k] < 0.5 ? 1.0 : -1.0;
        }
        f.run(metal * 0.12 + rng.bipolar() * 0.6, 7000.0, 0.7);
        out.add(start + i, f.hp * amp.next() * vel, p);
    }
}

void crash(Stereo &out, double time, double vel, Rng &rng)
{
    const std::size_t start = frames(time);
    const std::size_t len = frames(1.6);
    Svf fl, fr;
    PercStep amp(0.001, 0.45);
    for (std::size_t i = 0; i < len; ++i) {
        const double env = amp.next();
        fl.run(rng.bipolar(), 4500.0, 0.6);
        fr.run(rng.bipolar(), 4700.0, 0.6);
        if (start + i < out.size()) {
            out.l[start + i] += static_cast<float>(fl.hp * env * vel);
            out.r[start + i] += static_cast<float>(fr.hp * env * vel);
        }
    }
}

void tom(Stereo &out, double time, double vel, double hz)
{
    const std::size_t start = frames(time);
    const std::size_t len = frames(0.35);
    double ph = 0.0;
    Decay bend(0.02);
    PercStep amp(0.001, 0.12);
    for (std::size_t i = 0; i < len; ++i) {
        ph += hz * (1.0 + 0.5 * bend.next()) / kRate;
        out.add(start + i, sinTurns(ph) * amp.next() * vel, Pan(0.0));
    }
}

} // namespace sg
