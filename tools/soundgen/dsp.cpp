// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

namespace sg
{

std::uint64_t Rng::next()
{
    state += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Rng::uniform()
{
    return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0);
}

double Rng::bipolar()
{
    return uniform() * 2.0 - 1.0;
}

Pan::Pan(double pan)
{
    const double angle = (std::clamp(pan, -1.0, 1.0) + 1.0) * kPi * 0.25;
    l = cosTurns(angle / (2.0 * kPi)) * std::sqrt(2.0);
    r = sinTurns(angle / (2.0 * kPi)) * std::sqrt(2.0);
}

namespace
{

constexpr double kLn2 = 0.69314718055994530942;
constexpr double kLn10 = 2.30258509299404568402;

} // namespace

// Polynomials with plain arithmetic only: libm may pick a different code path
// on a different CPU, and the files must not change with the machine.
double sinTurns(double turns)
{
    // Taylor coefficients of sin up to x^13 (odd powers).
    static constexpr std::array<double, 7> kCoef{
        1.0, -1.0 / 6, 1.0 / 120, -1.0 / 5040, 1.0 / 362880, -1.0 / 39916800, 1.0 / 6227020800};
    double t = turns - std::floor(turns); // [0, 1)
    if (t >= 0.5)
        t -= 1.0; // [-1/2, 1/2)
    // Fold onto [-1/4, 1/4] turn, where the series converges fast.
    if (t > 0.25)
        t = 0.5 - t;
    else if (t < -0.25)
        t = -0.5 - t;
    const double x = 2.0 * kPi * t;
    const double x2 = x * x;
    double p = kCoef.back();
    for (std::size_t i = kCoef.size() - 1; i-- > 0;)
        p = p * x2 + kCoef[i];
    return x * p;
}

double cosTurns(double turns)
{
    return sinTurns(turns + 0.25);
}

double expApprox(double x)
{
    // e^x = 2^k e^r with |r| <= ln2 / 2, where the series to r^10 is far
    // finer than a 16-bit step.
    static constexpr std::array<double, 11> kCoef{
        1.0,       1.0,        1.0 / 2,     1.0 / 6,      1.0 / 24,     1.0 / 120,
        1.0 / 720, 1.0 / 5040, 1.0 / 40320, 1.0 / 362880, 1.0 / 3628800};
    x = std::clamp(x, -700.0, 700.0);
    const double k = std::floor(x * (1.0 / kLn2) + 0.5);
    const double r = x - k * kLn2;
    double p = kCoef.back();
    for (std::size_t i = kCoef.size() - 1; i-- > 0;)
        p = p * r + kCoef[i];
    // Times 2^k through the exponent bits: exact, and no libm call.
    const auto bits = static_cast<std::uint64_t>(static_cast<std::int64_t>(k) + 1023) << 52;
    return p * std::bit_cast<double>(bits);
}

double pow2(double x)
{
    return expApprox(x * kLn2);
}

double tanhApprox(double x)
{
    if (x > 20.0)
        return 1.0;
    if (x < -20.0)
        return -1.0;
    const double e = expApprox(2.0 * x);
    return (e - 1.0) / (e + 1.0);
}

void Stereo::mix(const Stereo &other, double gain)
{
    const std::size_t n = std::min(size(), other.size());
    for (std::size_t i = 0; i < n; ++i) {
        l[i] += static_cast<float>(other.l[i] * gain);
        r[i] += static_cast<float>(other.r[i] * gain);
    }
}

double Stereo::peak() const
{
    double p = 0.0;
    for (std::size_t i = 0; i < size(); ++i)
        p = std::max(
            {p, std::fabs(static_cast<double>(l[i])), std::fabs(static_cast<double>(r[i]))});
    return p;
}

void Stereo::scale(double gain)
{
    for (std::size_t i = 0; i < size(); ++i) {
        l[i] = static_cast<float>(l[i] * gain);
        r[i] = static_cast<float>(r[i] * gain);
    }
}

double midiToHz(double note)
{
    return 440.0 * pow2((note - 69.0) / 12.0);
}

double dbToGain(double db)
{
    return expApprox(db / 20.0 * kLn10);
}

std::size_t frames(double seconds)
{
    return seconds <= 0.0 ? 0 : static_cast<std::size_t>(std::lround(seconds * kRate));
}

namespace
{

// Correction for the jump of a naive sawtooth at phase t (dt = phase step).
double polyBlep(double t, double dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

double wrap(double p)
{
    return p - std::floor(p);
}

} // namespace

double Osc::sine(double hz)
{
    const double v = sinTurns(phase);
    phase = wrap(phase + hz / kRate);
    return v;
}

double Osc::saw(double hz)
{
    const double dt = std::min(hz / kRate, 0.5);
    const double v = 2.0 * phase - 1.0 - polyBlep(phase, dt);
    phase = wrap(phase + dt);
    return v;
}

double Osc::pulse(double hz, double width)
{
    const double dt = std::min(hz / kRate, 0.5);
    double v = phase < width ? 1.0 : -1.0;
    v += polyBlep(phase, dt);
    v -= polyBlep(wrap(phase + 1.0 - width), dt);
    phase = wrap(phase + dt);
    // Remove the DC offset of an asymmetric pulse.
    return v - (2.0 * width - 1.0);
}

double Osc::triangle(double hz)
{
    const double v = 1.0 - 4.0 * std::fabs(phase - 0.5);
    phase = wrap(phase + hz / kRate);
    return v;
}

void Svf::run(double x, double cutoffHz, double q)
{
    const double fc = std::clamp(cutoffHz, 20.0, kRate * 0.45);
    // The coefficients cost a tangent: recompute them only when the cutoff has
    // moved by more than a fraction of a cent's worth.
    if (q != coefQ || std::fabs(fc - coefFc) > 0.0005 * coefFc) {
        coefFc = fc;
        coefQ = q;
        g = sinTurns(fc / (2.0 * kRate)) / cosTurns(fc / (2.0 * kRate));
        k = 1.0 / std::max(q, 0.05);
        a1 = 1.0 / (1.0 + g * (g + k));
    }
    const double a2 = g * a1;
    const double a3 = g * a2;
    const double v3 = x - ic2;
    const double v1 = a1 * ic1 + a2 * v3;
    const double v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0 * v1 - ic1;
    ic2 = 2.0 * v2 - ic2;
    lp = v2;
    bp = v1;
    hp = x - k * v1 - v2;
}

double OnePole::lowpass(double x, double cutoffHz)
{
    const double a = 1.0 - expApprox(-2.0 * kPi * std::clamp(cutoffHz, 1.0, kRate * 0.49) / kRate);
    y += a * (x - y);
    return y;
}

double adsr(double t, double gate, double a, double d, double s, double r)
{
    if (t < 0.0)
        return 0.0;
    auto held = [&](double u) {
        if (u < a)
            return u / a;
        return s + (1.0 - s) * expApprox(-(u - a) / d);
    };
    if (t < gate)
        return held(t);
    const double level = held(gate);
    return level * expApprox(-(t - gate) / r);
}

double percEnv(double t, double attack, double decay)
{
    if (t < 0.0)
        return 0.0;
    if (t < attack)
        return t / attack;
    return expApprox(-(t - attack) / decay);
}

Decay::Decay(double tau) : factor(expApprox(-1.0 / (tau * kRate))) {}

Decay decayFrom(double tau, double from, double origin)
{
    Decay d(tau);
    d.value = expApprox(-(from - origin) / (tau * kRate));
    return d;
}

PercStep::PercStep(double attack, double decay)
    : attackFrames(attack * kRate),
      fall(decayFrom(decay, std::ceil(attack * kRate), attack * kRate))
{
}

double PercStep::next()
{
    const auto n = static_cast<double>(i++);
    return n < attackFrames ? n / attackFrames : fall.next();
}

AdsrStep::AdsrStep(double gate, double a, double d, double s, double r)
    : attackFrames(a * kRate), gateFrames(gate * kRate), sustain(s),
      gateLevel(adsr(gate, gate + 1.0, a, d, s, r)),
      fall(decayFrom(d, std::ceil(a * kRate), a * kRate)),
      release(decayFrom(r, std::ceil(gate * kRate), gate * kRate))
{
}

double AdsrStep::next()
{
    const auto n = static_cast<double>(i++);
    if (n >= gateFrames)
        return gateLevel * release.next();
    if (n < attackFrames)
        return n / attackFrames;
    return sustain + (1.0 - sustain) * fall.next();
}

void pluck(Stereo &out, std::size_t start, double seconds, double hz, double gain, Pan pan,
           double brightness, Rng &rng)
{
    // Delay of period minus the half sample the averaging filter adds; the
    // fraction is taken up by a first-order allpass.
    const double period = static_cast<double>(kRate) / hz - 0.5;
    const auto n = static_cast<std::size_t>(std::floor(period));
    const double frac = period - static_cast<double>(n);
    const double ap = (1.0 - frac) / (1.0 + frac);
    std::vector<double> line(n, 0.0);
    OnePole shape;
    for (std::size_t i = 0; i < n; ++i)
        line[i] = shape.lowpass(rng.bipolar(), 1500.0 + 8000.0 * brightness);
    double mean = 0.0;
    for (double v : line)
        mean += v;
    mean /= static_cast<double>(n);
    for (double &v : line)
        v -= mean;

    const double loss = 0.4960 + 0.0035 * brightness;
    double prev = 0.0, apX = 0.0, apY = 0.0;
    const std::size_t total = frames(seconds);
    const std::size_t fade = frames(0.03);
    std::size_t pos = 0;
    for (std::size_t i = 0; i < total; ++i) {
        const double x = line[pos];
        const double avg = loss * (x + prev);
        prev = x;
        const double y = ap * avg + apX - ap * apY;
        apX = avg;
        apY = y;
        line[pos] = y;
        pos = pos + 1 == n ? 0 : pos + 1;
        double v = x * gain;
        if (i + fade >= total)
            v *= static_cast<double>(total - 1 - i) / static_cast<double>(fade);
        out.add(start + i, v, pan);
    }
}

namespace
{

struct Comb {
    std::vector<double> buf;
    std::size_t pos = 0;
    double store = 0.0;
    double run(double x, double feedback, double damp)
    {
        const double y = buf[pos];
        store = y * (1.0 - damp) + store * damp;
        buf[pos] = x + store * feedback;
        pos = pos + 1 == buf.size() ? 0 : pos + 1;
        return y;
    }
};

struct Allpass {
    std::vector<double> buf;
    std::size_t pos = 0;
    double run(double x)
    {
        const double b = buf[pos];
        buf[pos] = x + b * 0.5;
        pos = pos + 1 == buf.size() ? 0 : pos + 1;
        return b - x;
    }
};

} // namespace

Stereo reverb(const Stereo &in, double roomSize, double damping)
{
    // Freeverb's tunings, halved for 22050 Hz; the right side is spread a
    // little for width.
    constexpr std::array<std::size_t, 6> combLen{558, 594, 638, 678, 711, 745};
    constexpr std::array<std::size_t, 3> apLen{278, 220, 170};
    constexpr std::size_t spread = 12;
    Stereo out(in.size());
    for (int side = 0; side < 2; ++side) {
        std::vector<Comb> combs;
        std::vector<Allpass> aps;
        for (std::size_t len : combLen)
            combs.push_back(Comb{std::vector<double>(len + side * spread, 0.0)});
        for (std::size_t len : apLen)
            aps.push_back(Allpass{std::vector<double>(len + side * spread, 0.0)});
        const std::vector<float> &src = side == 0 ? in.l : in.r;
        std::vector<float> &dst = side == 0 ? out.l : out.r;
        const double feedback = 0.7 + 0.28 * roomSize;
        for (std::size_t i = 0; i < in.size(); ++i) {
            const double x = src[i] * 0.1;
            double acc = 0.0;
            for (Comb &c : combs)
                acc += c.run(x, feedback, damping);
            for (Allpass &a : aps)
                acc = a.run(acc);
            dst[i] = static_cast<float>(acc);
        }
    }
    return out;
}

double softClip(double x)
{
    return tanhApprox(x);
}

double normalize(Stereo &s, double peakDb)
{
    const double p = s.peak();
    if (p <= 0.0)
        return 1.0;
    const double gain = dbToGain(peakDb) / p;
    s.scale(gain);
    return gain;
}

void fadeEdges(Stereo &s, double inSeconds, double outSeconds)
{
    const std::size_t n = s.size();
    const std::size_t fin = std::min(frames(inSeconds), n);
    const std::size_t fout = std::min(frames(outSeconds), n);
    for (std::size_t i = 0; i < fin; ++i) {
        const double g = static_cast<double>(i) / static_cast<double>(fin);
        s.l[i] = static_cast<float>(s.l[i] * g);
        s.r[i] = static_cast<float>(s.r[i] * g);
    }
    for (std::size_t i = 0; i < fout; ++i) {
        const double g = static_cast<double>(i) / static_cast<double>(fout);
        s.l[n - 1 - i] = static_cast<float>(s.l[n - 1 - i] * g);
        s.r[n - 1 - i] = static_cast<float>(s.r[n - 1 - i] * g);
    }
}

} // namespace sg
