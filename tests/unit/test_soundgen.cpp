// The sound generator's building blocks and the Ogg Vorbis round trip. What
// the generator makes (lengths, levels) is checked on data/sound, and byte
// for byte against it, by the audio tests.

#include "dsp.h"
#include "oggwriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

using namespace sg;

namespace
{

int zeroCrossings(const std::vector<float> &x, std::size_t from, std::size_t to)
{
    int n = 0;
    for (std::size_t i = from + 1; i < to; ++i)
        if ((x[i - 1] < 0.0f) != (x[i] < 0.0f))
            ++n;
    return n;
}

} // namespace

TEST(Synthesis, EnvelopesAndTheirSteppedForms)
{
    EXPECT_NEAR(adsr(0.005, 1.0, 0.01, 0.1, 0.5, 0.1), 0.5, 1e-9);
    EXPECT_NEAR(adsr(0.99, 1.0, 0.01, 0.1, 0.5, 0.1), 0.5, 1e-3);
    EXPECT_LT(adsr(1.3, 1.0, 0.01, 0.1, 0.5, 0.1), 0.5 * 0.06);
    EXPECT_NEAR(percEnv(0.1 + 0.002, 0.002, 0.1), std::exp(-1.0), 1e-9);

    PercStep perc(0.0021, 0.05);
    AdsrStep held(0.3, 0.0103, 0.08, 0.6, 0.04);
    AdsrStep cut(0.004, 0.0103, 0.08, 0.6, 0.04); // released during the attack
    Decay decay(0.1);
    for (int i = 0; i < kRate / 2; ++i) {
        const double t = static_cast<double>(i) / kRate;
        ASSERT_NEAR(perc.next(), percEnv(t, 0.0021, 0.05), 1e-9) << i;
        ASSERT_NEAR(held.next(), adsr(t, 0.3, 0.0103, 0.08, 0.6, 0.04), 1e-9) << i;
        ASSERT_NEAR(cut.next(), adsr(t, 0.004, 0.0103, 0.08, 0.6, 0.04), 1e-9) << i;
        ASSERT_NEAR(decay.next(), std::exp(-t / 0.1), 1e-9) << i;
    }
}

TEST(Synthesis, OwnMathMatchesTheLibrary)
{
    for (double x = -3.0; x <= 3.0; x += 0.0137) {
        ASSERT_NEAR(sinTurns(x), std::sin(2.0 * kPi * x), 1e-9) << x;
        ASSERT_NEAR(cosTurns(x), std::cos(2.0 * kPi * x), 1e-9) << x;
        ASSERT_NEAR(tanhApprox(x), std::tanh(x), 1e-12) << x;
        ASSERT_NEAR(pow2(x) / std::pow(2.0, x), 1.0, 1e-12) << x;
    }
    for (double x = -60.0; x <= 60.0; x += 0.731)
        ASSERT_NEAR(expApprox(x) / std::exp(x), 1.0, 1e-12) << x;
    EXPECT_NEAR(dbToGain(-6.0), 0.501187, 1e-6);
}

TEST(Vorbis, RoundTripKeepsLengthLevelChannelsAndSerial)
{
    Stereo in(frames(0.5));
    Osc o;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const double v = 0.5 * o.sine(440.0);
        in.l[i] = static_cast<float>(v);
        in.r[i] = static_cast<float>(0.5 * v);
    }
    fadeEdges(in, 0.01, 0.01);
    const std::vector<unsigned char> bytes = encodeVorbis(in, 0.4f, 0x51751234, "test");
    // The first page is "OggS" with our fixed stream serial at offset 14.
    ASSERT_GT(bytes.size(), 100u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "OggS");
    EXPECT_EQ(bytes[14] | bytes[15] << 8 | bytes[16] << 16 |
                  static_cast<std::uint32_t>(bytes[17]) << 24,
              0x51751234u);

    const Stereo out = decodeVorbis(bytes);
    ASSERT_EQ(out.size(), in.size());
    EXPECT_NEAR(20.0 * std::log10(out.peak()), 20.0 * std::log10(in.peak()), 0.5);
    EXPECT_NEAR(zeroCrossings(out.l, 0, out.size()), zeroCrossings(in.l, 0, in.size()), 4);
    double right = 0.0, left = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        left += std::fabs(out.l[i]);
        right += std::fabs(out.r[i]);
    }
    EXPECT_NEAR(right / left, 0.5, 0.05); // the channels stay apart
    // Deterministic: the same input gives the same bytes.
    EXPECT_EQ(encodeVorbis(in, 0.4f, 0x51751234, "test"), bytes);
    EXPECT_TRUE(decodeVorbis(std::vector<unsigned char>{'n', 'o', 'p', 'e'}).l.empty());
}

TEST(Vorbis, EncodingAtAPeakNeverComesBackHotter)
{
    // A square wave full of edges: lossy coding overshoots on it.
    Stereo in(frames(0.5));
    Osc o;
    for (std::size_t i = 0; i < in.size(); ++i)
        in.l[i] = in.r[i] = static_cast<float>(o.pulse(180.0, 0.5));
    normalize(in, -3.0);
    const double plain = decodeVorbis(encodeVorbis(in, 0.3f, 1, "square")).peak();
    const double fitted = decodeVorbis(encodeVorbisAtPeak(in, 0.3f, 1, "square", -3.0)).peak();
    EXPECT_GT(20.0 * std::log10(plain), -3.0 + 0.25); // the case that needs the fitting
    EXPECT_LE(20.0 * std::log10(fitted), -3.0 + 0.25);
    EXPECT_GT(20.0 * std::log10(fitted), -3.0 - 1.5);
}
