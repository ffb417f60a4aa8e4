// The fourteen shipped sounds, decoded by SDL_mixer at the game's format and
// measured: lengths and levels, and that the generator still makes exactly
// these bytes.

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

TEST_F(ShippedSounds, EffectsAreShortAndUnclippedAtTheirPeaks)
{
    for (const char *name : kEffects) {
        SCOPED_TRACE(name);
        const Decoded d = load(name);
        ASSERT_FALSE(d.mono.empty());
        EXPECT_GE(d.seconds(), 0.1);
        EXPECT_LE(d.seconds(), 3.0);
        EXPECT_FALSE(clipped(d));
        const bool soft = std::string(name) == "bumpsmall.ogg";
        EXPECT_GE(peakDb(d), soft ? -8.0 : -4.5);
        EXPECT_LE(peakDb(d), soft ? -4.0 : -2.0);
        EXPECT_GT(rmsDb(d, 0, d.mono.size()), -24.0) << "not a click in silence";
        EXPECT_NE(d.r, std::vector<std::int16_t>(d.r.size(), 0)) << "both channels carry it";
    }
    // Three different bumps, each a hit that dies away.
    const Decoded bumps[] = {load("bump.ogg"), load("bump2.ogg"), load("bump3.ogg")};
    for (const Decoded &d : bumps) {
        EXPECT_LE(d.seconds(), 0.6);
        EXPECT_GT(rmsDb(d, 0, at(0.05)), rmsDb(d, at(0.2), at(0.3)) + 12.0);
    }
    EXPECT_NE(bumps[0].mono, bumps[1].mono);
    EXPECT_NE(bumps[1].mono, bumps[2].mono);
}

TEST_F(ShippedSounds, MusicIsLongUnclippedUnderTheEffectsAndJoinsCleanly)
{
    double quietestEffect = 0.0, quietestEffectPeak = 0.0;
    for (const char *name : kEffects) {
        const Decoded d = load(name);
        quietestEffect = std::min(quietestEffect, rmsDb(d, 0, d.mono.size()));
        quietestEffectPeak = std::min(quietestEffectPeak, peakDb(d));
    }
    for (const char *name : kMusic) {
        SCOPED_TRACE(name);
        const Decoded d = load(name);
        ASSERT_FALSE(d.mono.empty());
        EXPECT_GE(d.seconds(), 60.0);
        EXPECT_LE(d.seconds(), 120.0);
        EXPECT_FALSE(clipped(d));
        EXPECT_GE(peakDb(d), -13.0);
        EXPECT_LE(peakDb(d), -8.0);
        EXPECT_LT(peakDb(d), quietestEffectPeak - 2.0);
        const double rms = rmsDb(d, 0, d.mono.size());
        EXPECT_LT(rms, quietestEffect - 3.0);
        EXPECT_GT(rms, -35.0);
        // Starts on the downbeat, never drops out, and ends quiet enough for
        // the next track to start without a click.
        const std::size_t n = d.mono.size();
        EXPECT_GT(rmsDb(d, 0, at(0.05)), -40.0);
        for (std::size_t from = 0; from + at(0.25) <= n; from += at(0.25))
            ASSERT_GT(rmsDb(d, from, from + at(0.25)), -50.0) << "at " << from / kRate << " s";
        EXPECT_GT(rmsDb(d, n - at(0.3), n), -50.0);
        for (std::size_t i = n - at(0.005); i < n; ++i)
            ASSERT_LT(std::fabs(d.mono[i]), 0.0317) << "-30 dB";
    }
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
