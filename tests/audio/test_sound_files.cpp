// The fourteen shipped sounds, decoded by SDL_mixer at the game's format and
// measured: lengths, levels, the shape that makes each effect what it is, and
// that the generator still makes exactly these bytes.

#include "audio/sound.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

constexpr double kRate = 22050.0;
constexpr double kPi = 3.14159265358979323846;

const std::array<const char *, 11> kEffects{
    "bump.ogg",           "bump2.ogg",         "bump3.ogg",
    "bumpsmall.ogg",      "powerup-speed.ogg", "powerup-resistance.ogg",
    "powerup-growth.ogg", "powerup-bomb.ogg",  "end-yousuck.ogg",
    "end-winner.ogg",     "whee.ogg"};
const std::array<const char *, 3> kMusic{"music-1a.ogg", "music-1b.ogg", "music-2.ogg"};

struct Decoded {
    std::vector<std::int16_t> l, r;
    std::vector<double> mono; // -1..1
    double seconds() const { return static_cast<double>(mono.size()) / kRate; }
};

std::size_t at(double seconds)
{
    return static_cast<std::size_t>(seconds * kRate);
}

double toDb(double v)
{
    return 20.0 * std::log10(std::max(v, 1e-12));
}

double peakDb(const Decoded &d)
{
    int p = 0;
    for (std::size_t i = 0; i < d.l.size(); ++i)
        p = std::max({p, std::abs(static_cast<int>(d.l[i])), std::abs(static_cast<int>(d.r[i]))});
    return toDb(p / 32768.0);
}

double rmsDb(const Decoded &d, std::size_t from, std::size_t to)
{
    to = std::min(to, d.mono.size());
    if (to <= from)
        return -240.0;
    double sum = 0.0;
    for (std::size_t i = from; i < to; ++i)
        sum += d.mono[i] * d.mono[i];
    return 10.0 * std::log10(std::max(sum / static_cast<double>(to - from), 1e-24));
}

double peakDbIn(const Decoded &d, std::size_t from, std::size_t to)
{
    double p = 0.0;
    for (std::size_t i = from; i < std::min(to, d.mono.size()); ++i)
        p = std::max(p, std::fabs(d.mono[i]));
    return toDb(p);
}

// Energy at one frequency over a Hann window (Goertzel).
double energyAt(const Decoded &d, std::size_t from, std::size_t n, double hz)
{
    const double w = 2.0 * kPi * hz / kRate;
    double s1 = 0.0, s2 = 0.0;
    for (std::size_t i = 0; i < n && from + i < d.mono.size(); ++i) {
        const double hann =
            0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(i) / static_cast<double>(n));
        const double s = d.mono[from + i] * hann + 2.0 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return s1 * s1 + s2 * s2 - 2.0 * std::cos(w) * s1 * s2;
}

// Spectral centroid of a 1024-sample window, in Hz.
double centroid(const Decoded &d, double seconds)
{
    constexpr std::size_t kN = 1024;
    const std::size_t from = at(seconds);
    double weighted = 0.0, total = 0.0;
    for (std::size_t k = 1; k < kN / 2; ++k) {
        const double hz = static_cast<double>(k) * kRate / kN;
        const double e = std::sqrt(energyAt(d, from, kN, hz));
        weighted += e * hz;
        total += e;
    }
    return total > 0.0 ? weighted / total : 0.0;
}

// Share of a window's energy below a frequency.
double lowShare(const Decoded &d, double seconds, double belowHz)
{
    constexpr std::size_t kN = 2048;
    const std::size_t from = at(seconds);
    double low = 0.0, total = 0.0;
    for (std::size_t k = 1; k < kN / 2; ++k) {
        const double hz = static_cast<double>(k) * kRate / kN;
        const double e = energyAt(d, from, kN, hz);
        total += e;
        if (hz < belowHz)
            low += e;
    }
    return total > 0.0 ? low / total : 0.0;
}

// Fundamental of a voiced window by normalised autocorrelation, 70..1500 Hz.
double pitch(const Decoded &d, double seconds)
{
    constexpr std::size_t kN = 1024;
    const std::size_t from = at(seconds);
    const auto maxLag = static_cast<std::size_t>(kRate / 70.0);
    if (from + kN + maxLag > d.mono.size())
        return 0.0;
    double best = 0.0;
    std::size_t bestLag = 0;
    for (std::size_t lag = static_cast<std::size_t>(kRate / 1500.0); lag <= maxLag; ++lag) {
        double xy = 0.0, xx = 0.0, yy = 0.0;
        for (std::size_t i = 0; i < kN; ++i) {
            const double x = d.mono[from + i], y = d.mono[from + i + lag];
            xy += x * y;
            xx += x * x;
            yy += y * y;
        }
        const double c = xy / std::sqrt(xx * yy + 1e-30);
        // The first strong peak is the period, not a multiple of it.
        if (c > best + 1e-9 && (bestLag == 0 || c > 1.1 * best)) {
            best = c;
            bestLag = lag;
        }
    }
    return bestLag == 0 ? 0.0 : kRate / static_cast<double>(bestLag);
}

class ShippedSounds : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(openAudio()); }
    static void TearDownTestSuite() { closeAudio(); }

    static Decoded load(const std::string &name)
    {
        Decoded d;
        const std::string path = std::string(QUORBLY_DATA_DIR) + "/sound/" + name;
        Mix_Chunk *chunk = Mix_LoadWAV_RW(SDL_RWFromFile(path.c_str(), "rb"), 1);
        EXPECT_NE(chunk, nullptr) << path << ": " << Mix_GetError();
        if (chunk == nullptr)
            return d;
        EXPECT_EQ(chunk->alen % 4, 0u);
        const auto *s = reinterpret_cast<const std::int16_t *>(chunk->abuf);
        const std::size_t frames = chunk->alen / 4;
        for (std::size_t i = 0; i < frames; ++i) {
            d.l.push_back(s[2 * i]);
            d.r.push_back(s[2 * i + 1]);
            d.mono.push_back((s[2 * i] + s[2 * i + 1]) / 65536.0);
        }
        Mix_FreeChunk(chunk);
        return d;
    }

    static bool clipped(const Decoded &d)
    {
        for (std::size_t i = 0; i < d.l.size(); ++i)
            if (std::abs(static_cast<int>(d.l[i])) >= 32767 ||
                std::abs(static_cast<int>(d.r[i])) >= 32767)
                return true;
        return false;
    }
};

TEST_F(ShippedSounds, EffectsAreShortPunchyAndUnclipped)
{
    for (const char *name : kEffects) {
        SCOPED_TRACE(name);
        const Decoded d = load(name);
        ASSERT_FALSE(d.mono.empty());
        EXPECT_GE(d.seconds(), 0.1);
        EXPECT_LE(d.seconds(), 3.0);
        EXPECT_FALSE(clipped(d));
        const double peak = peakDb(d);
        if (std::string(name) == "bumpsmall.ogg") {
            EXPECT_GE(peak, -8.0);
            EXPECT_LE(peak, -4.0);
        } else {
            EXPECT_GE(peak, -4.5);
            EXPECT_LE(peak, -2.0);
        }
        // Something to hear, not a click in silence.
        EXPECT_GT(rmsDb(d, 0, d.mono.size()), -24.0);
        // And both channels carry it.
        EXPECT_NE(d.l, std::vector<std::int16_t>(d.l.size(), 0));
        EXPECT_NE(d.r, std::vector<std::int16_t>(d.r.size(), 0));
    }
}

TEST_F(ShippedSounds, MusicIsLongUnclippedAndWellUnderTheEffects)
{
    double loudestEffect = -240.0, quietestEffect = 0.0, quietestEffectPeak = 0.0;
    for (const char *name : kEffects) {
        const Decoded d = load(name);
        const double rms = rmsDb(d, 0, d.mono.size());
        loudestEffect = std::max(loudestEffect, rms);
        quietestEffect = std::min(quietestEffect, rms);
        quietestEffectPeak = std::min(quietestEffectPeak, peakDb(d));
    }
    for (const char *name : kMusic) {
        SCOPED_TRACE(name);
        const Decoded d = load(name);
        ASSERT_FALSE(d.mono.empty());
        EXPECT_GE(d.seconds(), 60.0);
        EXPECT_LE(d.seconds(), 120.0);
        EXPECT_FALSE(clipped(d));
        const double peak = peakDb(d);
        EXPECT_GE(peak, -13.0);
        EXPECT_LE(peak, -8.0);
        EXPECT_LT(peak, quietestEffectPeak - 2.0);
        const double rms = rmsDb(d, 0, d.mono.size());
        EXPECT_LT(rms, quietestEffect - 3.0);
        EXPECT_LT(rms, loudestEffect - 8.0);
        EXPECT_GT(rms, -35.0);
    }
}

TEST_F(ShippedSounds, MusicPlaysThroughAndJoinsCleanly)
{
    for (const char *name : kMusic) {
        SCOPED_TRACE(name);
        const Decoded d = load(name);
        ASSERT_GT(d.seconds(), 1.0);
        const std::size_t n = d.mono.size();
        // Starts on the downbeat.
        EXPECT_GT(rmsDb(d, 0, at(0.05)), -40.0);
        // Never drops out, the end included: no trailing silence.
        for (std::size_t from = 0; from + at(0.25) <= n; from += at(0.25))
            ASSERT_GT(rmsDb(d, from, from + at(0.25)), -50.0) << "at " << from / kRate << " s";
        EXPECT_GT(rmsDb(d, n - at(0.3), n), -50.0);
        // But the very end is quiet, so the next track starts without a click.
        EXPECT_LT(peakDbIn(d, n - at(0.005), n), -30.0);
    }
}

TEST_F(ShippedSounds, BumpsAreThreeDifferentLowThuds)
{
    std::vector<Decoded> bumps{load("bump.ogg"), load("bump2.ogg"), load("bump3.ogg")};
    for (const Decoded &d : bumps) {
        ASSERT_FALSE(d.mono.empty());
        EXPECT_LE(d.seconds(), 0.6);
        EXPECT_LT(centroid(d, 0.005), 1200.0);
        // The hit is at the start and dies away.
        EXPECT_GT(rmsDb(d, 0, at(0.05)), rmsDb(d, at(0.2), at(0.3)) + 12.0);
    }
    EXPECT_NE(bumps[0].mono, bumps[1].mono);
    EXPECT_NE(bumps[1].mono, bumps[2].mono);
    EXPECT_NE(bumps[0].mono, bumps[2].mono);

    const Decoded small = load("bumpsmall.ogg");
    EXPECT_LT(small.seconds(), bumps[0].seconds());
    EXPECT_LT(peakDb(small), peakDb(bumps[0]));
}

TEST_F(ShippedSounds, GrowthSweepsUp)
{
    const Decoded d = load("powerup-growth.ogg");
    ASSERT_GT(d.seconds(), 1.0);
    EXPECT_GT(centroid(d, 0.75), 2.0 * centroid(d, 0.05));
    EXPECT_GT(pitch(d, 0.6), 2.0 * pitch(d, 0.05));
}

TEST_F(ShippedSounds, SpeedIsABrightArpeggio)
{
    const Decoded d = load("powerup-speed.ogg");
    ASSERT_GT(d.seconds(), 0.3);
    EXPECT_LT(d.seconds(), 1.0);
    EXPECT_GT(centroid(d, 0.02), 1500.0);
    // Up it goes, note by note.
    EXPECT_GT(centroid(d, 0.1), centroid(d, 0.005));
    EXPECT_GT(centroid(d, 0.2), centroid(d, 0.1));
}

TEST_F(ShippedSounds, ResistanceRingsLikeMetal)
{
    const Decoded d = load("powerup-resistance.ogg");
    ASSERT_GT(d.seconds(), 1.0);
    // Inharmonic partials: the free bar's 1 : 2.76 ratio, where a string or
    // a pipe would ring at 3 and 4 times its fundamental.
    const std::size_t from = at(0.1), n = 4096;
    const double base = 440.0;
    const double bar = energyAt(d, from, n, base * 2.756);
    EXPECT_GT(bar, 20.0 * energyAt(d, from, n, base * 3.0));
    EXPECT_GT(bar, 20.0 * energyAt(d, from, n, base * 4.0));
    EXPECT_GT(energyAt(d, from, n, base), 20.0 * energyAt(d, from, n, base * 1.5));
    // It keeps ringing.
    EXPECT_GT(rmsDb(d, at(0.8), at(1.0)), -40.0);
}

TEST_F(ShippedSounds, BombIsABurstWithALowBoom)
{
    const Decoded d = load("powerup-bomb.ogg");
    ASSERT_GT(d.seconds(), 1.0);
    // A broadband burst first, then the low end takes over.
    EXPECT_GT(centroid(d, 0.0), 1500.0);
    EXPECT_GT(lowShare(d, 0.15, 200.0), 0.5);
    EXPECT_GT(rmsDb(d, 0, at(0.3)), rmsDb(d, at(1.5), at(2.0)) + 15.0);
}

TEST_F(ShippedSounds, WheeRisesThroughAnEeVowel)
{
    const Decoded d = load("whee.ogg");
    ASSERT_GT(d.seconds(), 0.5);
    EXPECT_GT(pitch(d, 0.6), 1.5 * pitch(d, 0.03));
    // "ee": a strong second formant near 2.3 kHz against little around 1 kHz.
    const std::size_t from = at(0.3), n = 4096;
    double ee = 0.0, mid = 0.0;
    for (double hz = 2100.0; hz <= 2500.0; hz += 20.0)
        ee += energyAt(d, from, n, hz);
    for (double hz = 900.0; hz <= 1300.0; hz += 20.0)
        mid += energyAt(d, from, n, hz);
    EXPECT_GT(ee, 2.0 * mid);
}

TEST_F(ShippedSounds, WinnerEndsOnAMajorChord)
{
    const Decoded d = load("end-winner.ogg");
    ASSERT_GT(d.seconds(), 1.6);
    const std::size_t from = at(1.2), n = 8192;
    auto chroma = [&](double c4Semitones) {
        double e = 0.0;
        for (int octave = -1; octave <= 1; ++octave)
            e += energyAt(d, from, n, 261.63 * std::pow(2.0, octave + c4Semitones / 12.0));
        return e;
    };
    // C major: E and G, not E flat or A flat.
    EXPECT_GT(chroma(4.0), 5.0 * chroma(3.0));
    EXPECT_GT(chroma(7.0), 5.0 * chroma(8.0));
    EXPECT_GT(chroma(0.0), 5.0 * chroma(1.0));
}

TEST_F(ShippedSounds, LoseFallsNoteByNoteToALongLastOne)
{
    const Decoded d = load("end-yousuck.ogg");
    ASSERT_GT(d.seconds(), 2.0);
    const std::array<double, 4> times{0.2, 0.66, 1.12, 1.6};
    std::array<double, 4> f{};
    for (std::size_t i = 0; i < 4; ++i)
        f[i] = pitch(d, times[i]);
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_LT(f[i], f[i - 1]) << "note " << i;
        // A semitone apart, give or take.
        EXPECT_NEAR(f[i - 1] / f[i], std::pow(2.0, 1.0 / 12.0), 0.03) << "note " << i;
    }
    // Gaps between the first notes; the last one holds.
    EXPECT_LT(rmsDb(d, at(0.43), at(0.45)), rmsDb(d, at(0.2), at(0.22)) - 6.0);
    EXPECT_GT(rmsDb(d, at(2.2), at(2.3)), -30.0);
}

std::vector<char> readAll(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(SoundGenerator, RegeneratesTheShippedFilesByteForByte)
{
    const fs::path tool = fs::path(QUORBLY_BUILD_DIR) / "tools" / "soundgen" / "quorbly-soundgen";
    ASSERT_TRUE(fs::exists(tool)) << tool << " is not built";
    char tmpl[] = "/tmp/quorbly-soundgen-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const fs::path out = tmpl;
    const std::string cmd = "\"" + tool.string() + "\" \"" + out.string() + "\" > /dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::size_t files = 0;
    for (const auto &names : {std::vector<const char *>(kEffects.begin(), kEffects.end()),
                              std::vector<const char *>(kMusic.begin(), kMusic.end())}) {
        for (const char *name : names) {
            const std::vector<char> made = readAll(out / name);
            const std::vector<char> shipped = readAll(fs::path(QUORBLY_DATA_DIR) / "sound" / name);
            EXPECT_FALSE(made.empty()) << name;
            EXPECT_TRUE(made == shipped) << name << " differs from data/sound";
            ++files;
        }
    }
    EXPECT_EQ(files, 14u);
    // Nothing else is written.
    EXPECT_EQ(static_cast<std::size_t>(
                  std::distance(fs::directory_iterator(out), fs::directory_iterator())),
              14u);
    fs::remove_all(out);
}

} // namespace
