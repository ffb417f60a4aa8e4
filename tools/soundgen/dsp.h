// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Building blocks of the sound generator: a seeded noise source, band-limited
// oscillators, a state-variable filter, envelopes, a plucked string and a
// small reverb. Everything runs at the game's mixing rate.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sg
{

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

// splitmix64: our own generator, so the files never depend on a libc's rand.
struct Rng {
    std::uint64_t state;
    explicit Rng(std::uint64_t seed) : state(seed) {}
    std::uint64_t next();
    double uniform(); // [0, 1)
    double bipolar(); // [-1, 1)
};

// Equal-power gains for pan -1 (left) .. +1 (right); 1 on both at centre.
struct Pan {
    double l = 1.0, r = 1.0;
    explicit Pan(double pan = 0.0);
};

struct Stereo {
    std::vector<float> l, r;
    explicit Stereo(std::size_t frames = 0) : l(frames, 0.0f), r(frames, 0.0f) {}
    std::size_t size() const { return l.size(); }
    void add(std::size_t i, double v, Pan pan)
    {
        if (i < l.size()) {
            l[i] += static_cast<float>(v * pan.l);
            r[i] += static_cast<float>(v * pan.r);
        }
    }
    void mix(const Stereo &other, double gain);
    double peak() const;
    void scale(double gain);
};

// sin and cos of a phase in turns (1 turn = 2 pi), e^x, 2^x and tanh, all
// without libm so that every machine computes the same bits.
double sinTurns(double turns);
double cosTurns(double turns);
double expApprox(double x);
double pow2(double x);
double tanhApprox(double x);

double midiToHz(double note);
double dbToGain(double db);
std::size_t frames(double seconds);

// Phase-accumulating oscillator; the saw and pulse are polyBLEP corrected so
// high notes do not alias badly at 22 kHz.
struct Osc {
    double phase = 0.0;
    double sine(double hz);
    double saw(double hz);
    double pulse(double hz, double width);
    double triangle(double hz);
};

// Zero-delay-feedback state-variable filter (stable under fast modulation).
struct Svf {
    double ic1 = 0.0, ic2 = 0.0;
    double lp = 0.0, bp = 0.0, hp = 0.0;
    void run(double x, double cutoffHz, double q);
    // Coefficients for the last cutoff and q.
    double coefFc = -1.0, coefQ = -1.0, g = 0.0, k = 0.0, a1 = 0.0;
};

// One-pole smoothing low-pass, cheap enough for noise colouring.
struct OnePole {
    double y = 0.0;
    double lowpass(double x, double cutoffHz);
};

// Attack, decay to sustain while the gate is held, then release. Times in
// seconds; t is the time since the note started.
double adsr(double t, double gate, double a, double d, double s, double r);
// Percussive: linear attack then exponential decay with the given time constant.
double percEnv(double t, double attack, double decay);

// The same curves stepped sample by sample, a multiply each instead of an
// exponential: the music has tens of millions of envelope samples.
struct Decay {
    double value = 1.0, factor = 1.0;
    explicit Decay(double tau); // e^(-t / tau) from t = 0
    double next()
    {
        const double v = value;
        value *= factor;
        return v;
    }
};

// A Decay whose first sample is frame `from` of a curve that starts at frame
// `origin` (frames may be fractional).
Decay decayFrom(double tau, double from, double origin);

struct PercStep {
    double attackFrames = 0.0;
    std::size_t i = 0;
    Decay fall;
    PercStep(double attack, double decay);
    double next();
};

struct AdsrStep {
    double attackFrames = 0.0, gateFrames = 0.0, sustain = 0.0, gateLevel = 0.0;
    std::size_t i = 0;
    Decay fall, release;
    AdsrStep(double gate, double a, double d, double s, double r);
    double next();
};

// Karplus-Strong plucked string: a noise burst in a tuned delay line with
// an averaging loss filter. brightness 0..1 shapes the burst and the loss.
void pluck(Stereo &out, std::size_t start, double seconds, double hz, double gain, Pan pan,
           double brightness, Rng &rng);

// Small stereo reverb (parallel combs into series allpasses).
Stereo reverb(const Stereo &in, double roomSize, double damping);

// Soft clip that stays linear for small signals.
double softClip(double x);

// Scales to the given peak in dBFS; returns the gain applied.
double normalize(Stereo &s, double peakDb);
// Short linear fades at both ends so no file starts or stops with a click.
void fadeEdges(Stereo &s, double inSeconds, double outSeconds);

} // namespace sg
