// The sound generator's parts: the note and chord notation, the songs as
// written, the synthesis building blocks and the Ogg Vorbis round trip.

#include "dsp.h"
#include "effects.h"
#include "music.h"
#include "oggwriter.h"
#include "sequencer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <tuple>
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

double sineAmplitudeThrough(double hz, double cutoff)
{
    Svf f;
    Osc o;
    double peak = 0.0;
    for (int i = 0; i < kRate; ++i) {
        f.run(o.sine(hz), cutoff, 0.707);
        if (i > kRate / 2)
            peak = std::max(peak, std::fabs(f.lp));
    }
    return peak;
}

} // namespace

TEST(Notation, NoteNames)
{
    EXPECT_EQ(noteNumber("C4"), 60);
    EXPECT_EQ(noteNumber("A4"), 69);
    EXPECT_EQ(noteNumber("Bb3"), 58);
    EXPECT_EQ(noteNumber("C#5"), 73);
    EXPECT_EQ(noteNumber("Cb4"), 59);
    EXPECT_EQ(noteNumber("B#3"), 60);
    EXPECT_EQ(noteNumber("G0"), 19);
    for (const char *bad : {"", "C", "H4", "C9", "Cx4", "c4", "C44", "#4"})
        EXPECT_EQ(noteNumber(bad), -1) << bad;
}

TEST(Notation, NoteListsAndTheirBeats)
{
    std::vector<Note> notes;
    EXPECT_DOUBLE_EQ(parseNotes("A4:.5 r:1  C5:1.5", 4.0, notes), 3.0);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_DOUBLE_EQ(notes[0].beat, 4.0);
    EXPECT_DOUBLE_EQ(notes[0].beats, 0.5);
    EXPECT_EQ(notes[0].midi, 69);
    EXPECT_DOUBLE_EQ(notes[1].beat, 5.5);
    EXPECT_DOUBLE_EQ(notes[1].beats, 1.5);
    EXPECT_EQ(notes[1].midi, 72);

    for (const char *bad : {"A4", "A4:0", "A4:-1", "Q4:1", "A4:x", "A4:1.5.", "r:"}) {
        std::vector<Note> out;
        EXPECT_LT(parseNotes(bad, 0.0, out), 0.0) << bad;
    }
}

TEST(Notation, Chords)
{
    Chord c;
    ASSERT_TRUE(parseChord("Dm", c));
    EXPECT_EQ(c.root, 2);
    EXPECT_EQ(c.intervals, (std::vector<int>{0, 3, 7}));
    ASSERT_TRUE(parseChord("Bb", c));
    EXPECT_EQ(c.root, 10);
    EXPECT_EQ(c.intervals, (std::vector<int>{0, 4, 7}));
    ASSERT_TRUE(parseChord("A7", c));
    EXPECT_EQ(c.root, 9);
    EXPECT_EQ(c.intervals, (std::vector<int>{0, 4, 7, 10}));
    ASSERT_TRUE(parseChord("F#m", c));
    EXPECT_EQ(c.root, 6);
    for (const char *bad : {"", "Hm", "Cdim", "m", "C#x"})
        EXPECT_FALSE(parseChord(bad, c)) << bad;
}

TEST(Notation, StepPatterns)
{
    std::vector<std::tuple<int, char, int>> calls;
    forSteps("x.-x--.o", [&](int step, char c, int len) { calls.emplace_back(step, c, len); });
    EXPECT_EQ(calls,
              (std::vector<std::tuple<int, char, int>>{{0, 'x', 1}, {3, 'x', 3}, {7, 'o', 1}}));
}

TEST(Notation, VoicingStaysInItsOctave)
{
    Chord c;
    ASSERT_TRUE(parseChord("C7", c));
    const std::vector<int> v = voicing(c, 55);
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v, (std::vector<int>{60, 64, 55, 58}));
    for (int n : v) {
        EXPECT_GE(n, 55);
        EXPECT_LT(n, 67);
    }
}

TEST(Layout, BarsBeatsAndSplitChords)
{
    const SongDef song{"test", 120.0, 0, {{'I', "C | F G", ""}, {'A', "Am", "A4:2 C5:1 E5:1"}}};
    Layout layout;
    std::string error;
    ASSERT_TRUE(layoutSong(song, layout, error)) << error;
    ASSERT_EQ(layout.bars.size(), 3u);
    EXPECT_DOUBLE_EQ(layout.seconds, 6.0);
    EXPECT_DOUBLE_EQ(layout.bars[2].beat, 8.0);
    EXPECT_TRUE(layout.bars[0].firstInSection);
    EXPECT_TRUE(layout.bars[1].lastInSection);
    EXPECT_FALSE(layout.bars[0].lastInSection);
    EXPECT_EQ(layout.bars[2].kind, 'A');
    EXPECT_EQ(chordAt(layout.bars[1], 1.9).root, 5);
    EXPECT_EQ(chordAt(layout.bars[1], 2.0).root, 7);
    EXPECT_EQ(chordAt(layout.bars[1], 4.0).root, 7);
    ASSERT_EQ(layout.melody.size(), 3u);
    EXPECT_DOUBLE_EQ(layout.melody[1].beat, 10.0);
}

TEST(Layout, RejectsMelodiesThatDoNotFillTheirBars)
{
    Layout layout;
    std::string error;
    EXPECT_FALSE(
        layoutSong(SongDef{"short", 120.0, 0, {{'A', "C | C", "C5:4 D5:3"}}}, layout, error));
    EXPECT_NE(error.find("section 0"), std::string::npos) << error;
    EXPECT_FALSE(layoutSong(SongDef{"long", 120.0, 0, {{'A', "C", "C5:4 D5:1"}}}, layout, error));
    EXPECT_FALSE(layoutSong(SongDef{"chord", 120.0, 0, {{'A', "C | Hm", ""}}}, layout, error));
    EXPECT_NE(error.find("Hm"), std::string::npos) << error;
    EXPECT_FALSE(layoutSong(SongDef{"empty bar", 120.0, 0, {{'A', "C | | C", ""}}}, layout, error));
    EXPECT_FALSE(layoutSong(SongDef{"note", 120.0, 0, {{'A', "C", "C5:2 X5:2"}}}, layout, error));
}

namespace
{

struct Laid {
    const SongDef *song;
    Layout layout;
};

Laid laid(const SongDef &song)
{
    Laid l{&song, {}};
    std::string error;
    EXPECT_TRUE(layoutSong(song, l.layout, error)) << error;
    return l;
}

bool chordHas(const Chord &c, int pitchClass)
{
    for (int iv : c.intervals)
        if ((c.root + iv) % 12 == pitchClass)
            return true;
    return false;
}

} // namespace

TEST(Songs, LengthsTemposAndKeys)
{
    const Laid a = laid(music1aSong()), b = laid(music1bSong()), boost = laid(music2Song());
    for (const Laid *l : {&a, &b, &boost}) {
        SCOPED_TRACE(std::string(l->song->name));
        EXPECT_GE(l->layout.seconds, 60.0);
        EXPECT_LE(l->layout.seconds, 120.0);
    }
    // The two main themes share a tempo; the boost theme is clearly faster.
    EXPECT_DOUBLE_EQ(a.song->bpm, b.song->bpm);
    EXPECT_GT(boost.song->bpm, 1.15 * a.song->bpm);
    // Related keys: a fifth apart.
    const int interval = (b.song->tonic - a.song->tonic + 12) % 12;
    EXPECT_TRUE(interval == 5 || interval == 7) << interval;
}

TEST(Songs, EachHasAFormAndEndsOnItsTonic)
{
    for (const SongDef *song : {&music1aSong(), &music1bSong(), &music2Song()}) {
        SCOPED_TRACE(std::string(song->name));
        const Laid l = laid(*song);
        std::string kinds;
        for (const SectionDef &s : song->sections)
            kinds += s.kind;
        EXPECT_EQ(kinds.front(), 'I');
        EXPECT_EQ(kinds.back(), 'O');
        EXPECT_GE(std::count(kinds.begin(), kinds.end(), 'A'), 2);
        EXPECT_GE(std::count(kinds.begin(), kinds.end(), 'B'), 1);
        // Every A section carries the same tune: the theme comes back.
        std::vector<std::string> tunes;
        for (const SectionDef &s : song->sections)
            if (s.kind == 'A')
                tunes.emplace_back(s.melody);
        EXPECT_EQ(std::count(tunes.begin(), tunes.end(), tunes.front()),
                  static_cast<long>(tunes.size()));

        const Bar &last = l.layout.bars.back();
        ASSERT_EQ(last.chords.size(), 1u);
        EXPECT_EQ(last.chords[0].root, song->tonic);
        ASSERT_FALSE(l.layout.melody.empty());
        const Note &final = l.layout.melody.back();
        EXPECT_EQ(final.midi % 12, song->tonic);
        EXPECT_DOUBLE_EQ(final.beat, last.beat);
    }
}

TEST(Songs, MelodiesSitOnTheirChords)
{
    for (const SongDef *song : {&music1aSong(), &music1bSong(), &music2Song()}) {
        SCOPED_TRACE(std::string(song->name));
        const Laid l = laid(*song);
        int onBeat = 0, chordTones = 0;
        for (const Note &n : l.layout.melody) {
            EXPECT_GE(n.midi, noteNumber("F4"));
            EXPECT_LE(n.midi, noteNumber("E6"));
            // Passing notes are free; the strong beats (one and three) land
            // on the harmony.
            if (std::fmod(n.beat, 2.0) != 0.0)
                continue;
            const auto bar = static_cast<std::size_t>(n.beat / 4.0);
            ASSERT_LT(bar, l.layout.bars.size());
            ++onBeat;
            if (chordHas(chordAt(l.layout.bars[bar], n.beat - l.layout.bars[bar].beat),
                         n.midi % 12))
                ++chordTones;
        }
        ASSERT_GT(onBeat, 50);
        EXPECT_GE(chordTones, onBeat * 95 / 100) << chordTones << " of " << onBeat;
    }
}

TEST(Synthesis, RngIsSeededAndUniform)
{
    Rng a(42), b(42), c(43);
    for (int i = 0; i < 100; ++i) {
        const std::uint64_t x = a.next();
        EXPECT_EQ(x, b.next());
        EXPECT_NE(x, c.next());
    }
    Rng r(7);
    double sum = 0.0;
    for (int i = 0; i < 20000; ++i) {
        const double u = r.uniform();
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
        sum += u;
    }
    EXPECT_NEAR(sum / 20000.0, 0.5, 0.01);
}

TEST(Synthesis, OscillatorsRunAtTheirPitch)
{
    EXPECT_DOUBLE_EQ(midiToHz(69), 440.0);
    EXPECT_NEAR(midiToHz(81), 880.0, 1e-9);
    Osc sine, saw, pulse;
    std::vector<float> s, w, p;
    for (int i = 0; i < kRate; ++i) {
        s.push_back(static_cast<float>(sine.sine(440.0)));
        w.push_back(static_cast<float>(saw.saw(440.0)));
        p.push_back(static_cast<float>(pulse.pulse(440.0, 0.25)));
    }
    EXPECT_NEAR(zeroCrossings(s, 0, s.size()), 880, 2);
    EXPECT_NEAR(zeroCrossings(p, 0, p.size()), 880, 2);
    double mean = 0.0, peak = 0.0;
    for (float v : w) {
        mean += v;
        peak = std::max(peak, std::fabs(static_cast<double>(v)));
    }
    EXPECT_NEAR(mean / kRate, 0.0, 0.01);
    EXPECT_LT(peak, 1.1);
    EXPECT_GT(peak, 0.9);
    double pulseMean = 0.0;
    for (float v : p)
        pulseMean += v;
    EXPECT_NEAR(pulseMean / kRate, 0.0, 0.01); // no DC from the narrow pulse
}

TEST(Synthesis, LowPassPassesLowsAndCutsHighs)
{
    EXPECT_GT(sineAmplitudeThrough(100.0, 1000.0), 0.95);
    EXPECT_LT(sineAmplitudeThrough(5000.0, 500.0), 0.02);
    EXPECT_NEAR(sineAmplitudeThrough(1000.0, 1000.0), 0.707, 0.05);
}

TEST(Synthesis, EnvelopesRiseHoldAndFall)
{
    EXPECT_EQ(adsr(-0.1, 1.0, 0.01, 0.1, 0.5, 0.1), 0.0);
    EXPECT_NEAR(adsr(0.005, 1.0, 0.01, 0.1, 0.5, 0.1), 0.5, 1e-9);
    EXPECT_NEAR(adsr(0.01, 1.0, 0.01, 0.1, 0.5, 0.1), 1.0, 1e-9);
    EXPECT_NEAR(adsr(0.99, 1.0, 0.01, 0.1, 0.5, 0.1), 0.5, 1e-3);
    EXPECT_LT(adsr(1.3, 1.0, 0.01, 0.1, 0.5, 0.1), 0.5 * 0.06);
    EXPECT_NEAR(percEnv(0.1 + 0.002, 0.002, 0.1), std::exp(-1.0), 1e-9);
}

TEST(Synthesis, SteppedEnvelopesFollowTheCurves)
{
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

TEST(Synthesis, PluckedStringIsInTuneAndDies)
{
    Stereo out(frames(1.0));
    Rng rng(3);
    pluck(out, 0, 1.0, 220.0, 0.5, Pan(0.0), 0.5, rng);
    // The period is the lag where the string best repeats itself.
    std::size_t bestLag = 0;
    double best = -1.0;
    for (std::size_t lag = 50; lag < 200; ++lag) {
        double c = 0.0;
        for (std::size_t i = frames(0.2); i < frames(0.4); ++i)
            c += out.l[i] * out.l[i + lag];
        if (c > best) {
            best = c;
            bestLag = lag;
        }
    }
    EXPECT_NEAR(kRate / static_cast<double>(bestLag), 220.0, 2.0);
    double early = 0.0, late = 0.0;
    for (std::size_t i = 0; i < frames(0.1); ++i) {
        early += out.l[i] * out.l[i];
        late += out.l[frames(0.85) + i] * out.l[frames(0.85) + i];
    }
    EXPECT_GT(early, 10.0 * late);
    EXPECT_EQ(out.l.back(), 0.0f); // faded out at its end
}

TEST(Synthesis, PanNormaliseAndFades)
{
    const Pan left(-1.0), centre(0.0);
    EXPECT_NEAR(left.l, std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(left.r, 0.0, 1e-9);
    EXPECT_NEAR(centre.l, 1.0, 1e-9);
    EXPECT_NEAR(centre.r, 1.0, 1e-9);

    Stereo s(1000);
    for (std::size_t i = 0; i < s.size(); ++i) {
        s.l[i] = 0.5f;
        s.r[i] = -0.25f;
    }
    normalize(s, -6.0);
    EXPECT_NEAR(s.peak(), dbToGain(-6.0), 1e-6);
    EXPECT_NEAR(s.r[500] / s.l[500], -0.5, 1e-6);
    fadeEdges(s, 0.001, 0.002);
    EXPECT_EQ(s.l.front(), 0.0f);
    EXPECT_NE(s.l.back(), s.l[500]);
    EXPECT_LT(std::fabs(s.l.back()), 0.05f * s.l[500]);
    EXPECT_EQ(s.l[500], s.l[400]);
}

TEST(Synthesis, EffectsComeOutAtTheirLevels)
{
    const std::vector<std::pair<Stereo, double>> effects{
        {makeBump(0), kEffectPeakDb},      {makeBump(1), kEffectPeakDb},
        {makeBump(2), kEffectPeakDb},      {makeBumpSmall(), kSoftEffectPeakDb},
        {makeGrowth(), kEffectPeakDb},     {makeSpeed(), kEffectPeakDb},
        {makeResistance(), kEffectPeakDb}, {makeBomb(), kEffectPeakDb},
        {makeWhee(), kEffectPeakDb},       {makeWin(), kEffectPeakDb},
        {makeLose(), kEffectPeakDb}};
    for (const auto &[sound, db] : effects) {
        EXPECT_NEAR(20.0 * std::log10(sound.peak()), db, 1e-3);
        EXPECT_GE(sound.size(), frames(0.1));
        EXPECT_LE(sound.size(), frames(3.0));
        EXPECT_EQ(sound.l.back(), 0.0f);
    }
    // The same recipe gives the same sound.
    EXPECT_EQ(makeBomb().l, makeBomb().l);
    EXPECT_NE(makeBump(0).l, makeBump(1).l);
}

namespace
{

Stereo tone(double hz, double seconds, double amp)
{
    Stereo s(frames(seconds));
    Osc o;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double v = amp * o.sine(hz);
        s.l[i] = static_cast<float>(v);
        s.r[i] = static_cast<float>(0.5 * v);
    }
    fadeEdges(s, 0.01, 0.01);
    return s;
}

std::uint32_t le32(const std::vector<unsigned char> &b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

} // namespace

TEST(Vorbis, RoundTripKeepsLengthLevelAndSerial)
{
    const Stereo in = tone(440.0, 0.5, 0.5);
    const std::vector<unsigned char> bytes = encodeVorbis(in, 0.4f, 0x51751234, "test");
    ASSERT_GT(bytes.size(), 100u);
    // Every page carries our fixed stream serial.
    std::size_t pages = 0;
    for (std::size_t at = 0; at + 27 <= bytes.size();) {
        ASSERT_EQ(std::string(bytes.begin() + static_cast<long>(at),
                              bytes.begin() + static_cast<long>(at) + 4),
                  "OggS");
        EXPECT_EQ(le32(bytes, at + 14), 0x51751234u);
        const std::size_t segments = bytes[at + 26];
        std::size_t body = 0;
        for (std::size_t k = 0; k < segments; ++k)
            body += bytes[at + 27 + k];
        at += 27 + segments + body;
        ++pages;
    }
    EXPECT_GE(pages, 3u);

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
    EXPECT_NE(encodeVorbis(in, 0.4f, 0x51751235, "test"), bytes);
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
