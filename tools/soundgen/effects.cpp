// SPDX-License-Identifier: GPL-3.0-or-later
#include "effects.h"

#include "voices.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace sg
{

namespace
{

Stereo finished(Stereo s, double peakDb)
{
    fadeEdges(s, 0.001, 0.015);
    normalize(s, peakDb);
    return s;
}

// Unity-gain band-pass around a formant.
double formant(Svf &f, double x, double hz, double bandwidth)
{
    const double q = hz / bandwidth;
    f.run(x, hz, q);
    return f.bp / q;
}

struct Thud {
    double thumpHz;               // the low body of the hit
    double shellHz;               // lowest ring of the hollow shell
    std::array<double, 4> ratios; // shell modes over shellHz
    double ring;                  // shell decay, seconds
    double seconds;
    std::uint64_t seed;
};

Stereo thud(const Thud &p)
{
    Rng rng(p.seed);
    Stereo out(frames(p.seconds));
    double thumpPh = 0.0;
    std::array<double, 4> ph{};
    static constexpr std::array<double, 4> kAmp{1.0, 0.55, 0.35, 0.2};
    Svf clickL, clickR;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        // The shell squashes on impact: everything starts a little sharp.
        const double squash = 1.0 + 0.35 * expApprox(-t / 0.01);
        thumpPh += p.thumpHz * squash / kRate;
        const double thump = sinTurns(thumpPh) * percEnv(t, 0.0015, 0.055);
        double shell = 0.0;
        for (std::size_t k = 0; k < 4; ++k) {
            ph[k] += p.shellHz * p.ratios[k] * (1.0 + 0.08 * expApprox(-t / 0.006)) / kRate;
            shell += kAmp[k] * sinTurns(ph[k]) *
                     percEnv(t, 0.001, p.ring / (1.0 + 0.6 * static_cast<double>(k)));
        }
        const double clickEnv = expApprox(-t / 0.004);
        clickL.run(rng.bipolar(), 2600.0, 0.8);
        clickR.run(rng.bipolar(), 2600.0, 0.8);
        const double body = softClip(1.4 * (thump + 0.45 * shell));
        out.l[i] = static_cast<float>(body + 0.35 * clickL.bp * clickEnv);
        out.r[i] = static_cast<float>(body + 0.35 * clickR.bp * clickEnv);
    }
    return out;
}

} // namespace

Stereo makeBump(int variant)
{
    static constexpr std::array<Thud, 3> kThuds{{
        {112.0, 410.0, {1.0, 1.59, 2.31, 3.12}, 0.075, 0.4, 0xB0001},
        {96.0, 350.0, {1.0, 1.52, 2.44, 3.30}, 0.095, 0.45, 0xB0002},
        {128.0, 480.0, {1.0, 1.63, 2.26, 2.97}, 0.06, 0.35, 0xB0003},
    }};
    return finished(thud(kThuds[static_cast<std::size_t>(variant % 3)]), kEffectPeakDb);
}

Stereo makeBumpSmall()
{
    Rng rng(0xB0004);
    Stereo out(frames(0.16));
    double ph = 0.0, shellPh = 0.0;
    OnePole soft;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        ph += 190.0 * (1.0 + 0.2 * expApprox(-t / 0.006)) / kRate;
        shellPh += 760.0 / kRate;
        const double tap = sinTurns(ph) * percEnv(t, 0.002, 0.03) +
                           0.35 * sinTurns(shellPh) * percEnv(t, 0.001, 0.025) +
                           0.25 * soft.lowpass(rng.bipolar(), 1800.0) * expApprox(-t / 0.003);
        out.add(i, tap, Pan(0.0));
    }
    return finished(out, kSoftEffectPeakDb);
}

Stereo makeGrowth()
{
    constexpr double kSweep = 0.95;
    Stereo out(frames(1.15));
    Osc l1, l2, r1, r2, sub;
    r1.phase = 0.3;
    r2.phase = 0.6;
    Svf fl, fr;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double u = std::min(t / kSweep, 1.0);
        // Three octaves up, easing into the top note.
        const double hz = 110.0 * pow2(3.0 * (1.0 - (1.0 - u) * (1.0 - u)));
        const double cutoff = 300.0 + hz * 4.0;
        const double wobble = 1.0 - (0.15 + 0.25 * u) * (0.5 + 0.5 * sinTurns(15.0 * t));
        const double env = std::min(t / 0.03, 1.0) * (t > 1.0 ? expApprox(-(t - 1.0) / 0.04) : 1.0);
        const double s = 0.25 * sub.sine(hz * 0.5);
        fl.run(l1.saw(hz * 0.997) + 0.6 * l2.saw(hz * 1.5), cutoff, 3.0);
        fr.run(r1.saw(hz * 1.003) + 0.6 * r2.saw(hz * 1.502), cutoff, 3.0);
        out.l[i] = static_cast<float>((fl.lp + s) * wobble * env);
        out.r[i] = static_cast<float>((fr.lp + s) * wobble * env);
    }
    return finished(out, kEffectPeakDb);
}

Stereo makeSpeed()
{
    static constexpr std::array<int, 7> kNotes{79, 84, 88, 91, 96, 100, 103}; // G5 up to G7
    constexpr double kStep = 0.048;
    Stereo out(frames(0.75));
    for (std::size_t k = 0; k < kNotes.size(); ++k) {
        const NoteEvent n{kStep * static_cast<double>(k), kStep * 0.9,
                          static_cast<double>(kNotes[k]), 0.5};
        const Pan pan((k % 2 == 0 ? -0.4 : 0.4) * (1.0 - 0.1 * static_cast<double>(k)));
        pulseLead(out, n, pan, 0.25);
        fmVoice(out, NoteEvent{n.time, 0.4, n.midi, 0.35}, pan,
                FmPatch{3.0, 1.5, 0.05, 0.12, 0.001, 0.05});
    }
    // The top note rings on a moment.
    fmVoice(out, NoteEvent{kStep * 6.0, 0.5, 103.0, 0.4}, Pan(0.0),
            FmPatch{2.0, 1.0, 0.1, 0.18, 0.001, 0.1});
    return finished(out, kEffectPeakDb);
}

Stereo makeResistance()
{
    // Free bar modes: the inharmonic ratios that make metal sound like metal.
    static constexpr std::array<double, 4> kModes{1.0, 2.756, 5.404, 8.933};
    static constexpr std::array<double, 4> kAmp{1.0, 0.6, 0.35, 0.2};
    constexpr double kBase = 440.0;
    Stereo out(frames(1.4));
    std::array<double, 8> ph{};
    double fmPh = 0.0, fmMod = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        double l = 0.0, r = 0.0;
        for (std::size_t k = 0; k < 4; ++k) {
            const double hz = kBase * kModes[k];
            // Each mode is a slightly detuned pair: the beating is the shimmer.
            ph[2 * k] += hz / kRate;
            ph[2 * k + 1] += hz * (1.0 + 0.006 + 0.002 * static_cast<double>(k)) / kRate;
            const double env =
                kAmp[k] * percEnv(t, 0.004, 0.7 / (1.0 + 0.7 * static_cast<double>(k)));
            const double a = sinTurns(ph[2 * k]) * env;
            const double b = sinTurns(ph[2 * k + 1]) * env;
            l += 0.7 * a + 0.3 * b;
            r += 0.3 * a + 0.7 * b;
        }
        // A clangy FM strike on top of the ring.
        fmMod += kBase * 2.0 * 1.414 / kRate;
        fmPh += kBase * 2.0 / kRate;
        const double clang =
            sinTurns(fmPh + 3.0 * expApprox(-t / 0.08) * sinTurns(fmMod) / (2.0 * kPi)) *
            percEnv(t, 0.001, 0.25);
        const double tremolo = 1.0 - 0.3 * (0.5 + 0.5 * sinTurns(11.0 * t));
        out.l[i] = static_cast<float>((l + 0.5 * clang) * tremolo);
        out.r[i] = static_cast<float>((r + 0.5 * clang) * (1.3 - tremolo));
    }
    return finished(out, kEffectPeakDb);
}

Stereo makeBomb()
{
    Rng rng(0xB0B);
    Stereo out(frames(2.2));
    Svf bodyL, bodyR;
    OnePole brownL, brownR, rumbleL, rumbleR;
    double boomPh = 0.0;
    double crackle = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double crack = expApprox(-t / 0.006);
        const double cutoff = 150.0 + 7000.0 * expApprox(-t / 0.09);
        bodyL.run(rng.bipolar(), cutoff, 0.7);
        bodyR.run(rng.bipolar(), cutoff, 0.7);
        const double bodyEnv = percEnv(t, 0.002, 0.32);
        boomPh += (34.0 + 50.0 * expApprox(-t / 0.12)) / kRate;
        const double boom = sinTurns(boomPh) * percEnv(t, 0.004, 0.45);
        const double rl = rumbleL.lowpass(brownL.lowpass(rng.bipolar(), 400.0), 140.0);
        const double rr = rumbleR.lowpass(brownR.lowpass(rng.bipolar(), 400.0), 140.0);
        const double rumbleEnv = percEnv(t, 0.05, 0.7);
        // Debris: sparse clicks that thin out.
        if (t > 0.15 && rng.uniform() < 0.004 * expApprox(-t / 0.5))
            crackle = 0.5 * expApprox(-t / 0.6);
        crackle *= 0.8;
        const double common = 1.1 * boom;
        const double l = common + bodyL.lp * bodyEnv * 1.1 + rl * 6.0 * rumbleEnv +
                         crack * rng.bipolar() + crackle;
        const double r = common + bodyR.lp * bodyEnv * 1.1 + rr * 6.0 * rumbleEnv +
                         crack * rng.bipolar() + crackle;
        // Gentle saturation only: a squared-off wave would overshoot once encoded.
        out.l[i] = static_cast<float>(softClip(0.6 * l));
        out.r[i] = static_cast<float>(softClip(0.6 * r));
    }
    return finished(out, kEffectPeakDb);
}

Stereo makeWhee()
{
    Rng rng(0x3EE);
    Stereo out(frames(0.95));
    Osc glottis;
    OnePole tilt, breath;
    std::array<Svf, 3> formants{};
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        // Rises quickly, then keeps climbing slowly: a delighted squeal.
        const double rise = 1.0 - expApprox(-t / 0.28);
        const double vib = 0.025 * std::clamp((t - 0.35) / 0.2, 0.0, 1.0) * sinTurns(6.5 * t);
        const double hz = 240.0 * pow2(1.7 * rise) * (1.0 + vib);
        // "w" opens into "ee" in the first tenth of a second.
        const double v = std::clamp(t / 0.12, 0.0, 1.0);
        const double f1 = 320.0 + (290.0 - 320.0) * v;
        const double f2 = 700.0 + (2300.0 - 700.0) * v;
        const double f3 = 2400.0 + (3000.0 - 2400.0) * v;
        const double source = tilt.lowpass(glottis.saw(hz), 2500.0) +
                              0.08 * breath.lowpass(rng.bipolar(), 4000.0) * (1.0 - 0.7 * v);
        const double voice = 1.0 * formant(formants[0], source, f1, 90.0) +
                             1.6 * formant(formants[1], source, f2, 130.0) +
                             1.2 * formant(formants[2], source, f3, 170.0) + 0.05 * source;
        const double env =
            std::min(t / 0.04, 1.0) * (t > 0.75 ? expApprox(-(t - 0.75) / 0.06) : 1.0);
        out.add(i, voice * env, Pan(0.0));
    }
    return finished(out, kEffectPeakDb);
}

Stereo makeWin()
{
    Rng rng(0x7A7);
    Stereo out(frames(2.6));
    auto brass = [&](double time, double dur, int midi, double vel, double pan) {
        sawLead(out, NoteEvent{time, dur, static_cast<double>(midi), vel}, Pan(pan), 0.9);
    };
    // "ta-ta-ta taaa ta TAAAA" in C major, two voices in thirds.
    struct Hit {
        double time, dur;
        int top, under;
    };
    static constexpr std::array<Hit, 6> kHits{{
        {0.00, 0.09, 67, 64},
        {0.12, 0.09, 67, 64},
        {0.24, 0.09, 67, 64},
        {0.36, 0.40, 72, 67},
        {0.82, 0.12, 71, 67},
        {1.00, 1.15, 72, 67},
    }};
    for (const Hit &h : kHits) {
        brass(h.time, h.dur, h.top, 0.5, 0.1);
        brass(h.time, h.dur, h.under, 0.35, -0.2);
    }
    // The final chord, with a low C and a bell sparkle on top.
    brass(1.0, 1.15, 76, 0.3, 0.3);
    brass(1.0, 1.15, 64, 0.3, -0.3);
    brass(1.0, 1.15, 48, 0.35, 0.0);
    static constexpr std::array<int, 4> kSparkle{84, 88, 91, 96};
    for (std::size_t k = 0; k < kSparkle.size(); ++k)
        fmVoice(out,
                NoteEvent{1.0 + 0.06 * static_cast<double>(k), 0.8,
                          static_cast<double>(kSparkle[k]), 0.12},
                Pan(k % 2 == 0 ? 0.4 : -0.4), FmPatch{3.5, 1.0, 0.2, 0.5, 0.001, 0.2});
    // Snare roll into the last chord, timpani on the big notes, a cymbal at the end.
    for (double t = 0.36; t < 0.95; t += 0.045)
        snare(out, t, 0.03 + 0.1 * (t - 0.36), rng);
    tom(out, 0.36, 0.3, 98.0);
    tom(out, 1.0, 0.4, 65.0);
    kick(out, 1.0, 0.3);
    crash(out, 1.0, 0.1, rng);
    return finished(out, kEffectPeakDb);
}

Stereo makeLose()
{
    // Sad trombone: four falling semitones, the last one long and wobbling.
    struct Wah {
        double time, dur;
        int midi;
    };
    static constexpr std::array<Wah, 4> kWahs{{
        {0.00, 0.38, 55},
        {0.46, 0.38, 54},
        {0.92, 0.38, 53},
        {1.38, 1.25, 52},
    }};
    Stereo out(frames(2.85));
    for (const Wah &w : kWahs) {
        Osc a, b;
        b.phase = 0.4;
        std::array<Svf, 2> vowel{};
        Svf mute;
        const std::size_t start = frames(w.time);
        const std::size_t len = frames(w.dur + 0.2);
        const bool last = &w == &kWahs.back();
        for (std::size_t i = 0; i < len; ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double scoop = -0.5 * expApprox(-t / 0.03);
            double bend = scoop;
            if (last) {
                const double wobble = std::clamp((t - 0.25) / 0.3, 0.0, 1.0);
                bend += 0.35 * wobble * sinTurns(5.0 * (t - 0.25));
                bend -= 1.2 * std::clamp((t - 0.85) / 0.4, 0.0, 1.0);
            }
            const double hz = midiToHz(w.midi + bend);
            const double x = 0.5 * a.saw(hz * 0.998) + 0.5 * b.saw(hz * 1.002);
            // The plunger mute: closed, open, and closing again at the end.
            const double open = std::clamp(t / 0.09, 0.0, 1.0) *
                                std::clamp((w.dur - t) / 0.12 + 0.3, 0.3, 1.0) *
                                (last ? 0.85 + 0.15 * sinTurns(5.0 * t) : 1.0);
            mute.run(x, 350.0 + 1300.0 * open, 1.2);
            const double y = formant(vowel[0], mute.lp, 350.0 + 350.0 * open, 110.0) +
                             0.6 * formant(vowel[1], mute.lp, 800.0 + 350.0 * open, 140.0) +
                             0.3 * mute.lp;
            out.add(start + i, y * adsr(t, w.dur, 0.02, 0.4, 0.85, 0.05), Pan(0.0));
        }
    }
    return finished(out, kEffectPeakDb);
}

} // namespace sg
