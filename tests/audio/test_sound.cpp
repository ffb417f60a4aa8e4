// SPDX-License-Identifier: GPL-3.0-or-later
// The sound module against the real mixer on SDL's dummy driver, which plays
// at real-time pace. Short generated samples stand in for the game's sounds;
// each has its own length, so the length of the sample on a channel tells
// which one is playing there. Then the shipped sounds themselves: their
// lengths and levels, and that the generator still makes exactly these bytes.

#include "audio/sound.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "oggwriter.h"

namespace fs = std::filesystem;

namespace
{

constexpr int kRate = 22050;
constexpr double kTurn = 6.283185307179586;

// The samples in the order the module loads them, each with its own length.
constexpr std::array<const char *, 14> kNames{
    "bump.ogg",           "bump2.ogg",         "bump3.ogg",
    "bumpsmall.ogg",      "powerup-speed.ogg", "powerup-resistance.ogg",
    "powerup-growth.ogg", "powerup-bomb.ogg",  "end-yousuck.ogg",
    "end-winner.ogg",     "whee.ogg",          "music-1a.ogg",
    "music-1b.ogg",       "music-2.ogg"};
constexpr std::array<int, 14> kFrames{2205,  2300, 2400, 2500, 17640, 18000, 18500,
                                      19000, 3000, 3100, 3200, 17000, 12000, 13000};
constexpr int kSpeed = kFrames[4], kBomb = kFrames[7], kMusic1a = kFrames[11],
              kMusic1b = kFrames[12], kMusic2 = kFrames[13];

// A tone as a 16-bit WAV. The mixer sniffs the format from the bytes, so it
// loads under the game's .ogg names.
std::string wav(int frames, int rate = kRate, int channels = 2, double hz = 175)
{
    std::vector<std::int16_t> s(static_cast<std::size_t>(frames * channels));
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::int16_t>(8000 * std::sin(kTurn * hz * (i / channels) / rate));
    const auto n = static_cast<std::uint32_t>(channels), data = 2 * n * frames, r = 0u + rate;
    const std::array<std::uint32_t, 11> header{
        0x46464952, 36 + data, 0x45564157,       0x20746d66, 16,  1 | n << 16,
        r,          r * n * 2, n * 2 | 16 << 16, 0x61746164, data};
    return std::string(reinterpret_cast<const char *>(header.data()), 44) +
           std::string(reinterpret_cast<const char *>(s.data()), data);
}

// The same tone as Ogg Vorbis, at any rate.
std::string ogg(int frames, int rate, double hz)
{
    sg::Stereo tone(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
        tone.l[i] = tone.r[i] = static_cast<float>(0.5 * std::sin(kTurn * hz * i / rate));
    const std::vector<unsigned char> bytes = sg::encodeVorbis(tone, 0.4f, 1, "tone", rate);
    return {bytes.begin(), bytes.end()};
}

void write(const fs::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readAll(const fs::path &path)
{
    std::stringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

// Frames of the sample on a channel, or 0 when the channel is silent.
// Read under the mixer's lock, so never halfway through a change of sample.
int playingFrames(int channel)
{
    SDL_LockAudio();
    const Mix_Chunk *c = Mix_Playing(channel) == 0 ? nullptr : Mix_GetChunk(channel);
    SDL_UnlockAudio();
    return c == nullptr ? 0 : static_cast<int>(c->alen / 4);
}

// Runs frames of about 5 ms, calling frame() in each, until done() or the
// time runs out; true if done() became true.
bool runFrames(void (*frame)(), const std::function<bool()> &done, int ms)
{
    for (const Uint32 end = SDL_GetTicks() + static_cast<Uint32>(ms); SDL_GetTicks() < end;
         SDL_Delay(5))
        if (frame(), done())
            return true;
    return done();
}
void (*const main1)() = playMusic1;
void (*const boost)() = playMusic2;

// Frames for ms in which `frames` plays on the channel without a break:
// longer than the sample, it can only have started again.
void expectOnly(int channel, int frames, int ms, void (*frame)())
{
    runFrames(
        frame, [&] { return playingFrames(channel) != frames; }, ms);
    EXPECT_EQ(playingFrames(channel), frames) << "channel " << channel;
}

// Notes each new sample heard on channel 0; done once n were heard.
std::function<bool()> heard(std::vector<int> &seq, std::size_t n)
{
    return [&seq, n] {
        const int f = playingFrames(0);
        if (f != 0 && (seq.empty() || f != seq.back()))
            seq.push_back(f);
        return seq.size() >= n;
    };
}

class SoundTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/quorbly-sound-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        home_ = fs::current_path();
        fs::current_path(tmpl);
        fs::create_directory("sound");
        for (std::size_t i = 0; i < kNames.size(); ++i)
            write(fs::path("sound") / kNames[i], wav(kFrames[i]));
        ASSERT_TRUE(openAudio());
        initSound();
        // SDL_mixer 1.2 marks a paused channel with the tick count, so a
        // pause at tick 0 would not hold; the game pauses long after start.
        while (SDL_GetTicks() == 0)
            SDL_Delay(1);
    }

    void TearDown() override
    {
        stopMusic();
        freeSound();
        closeAudio();
        fs::remove_all(fs::current_path());
        fs::current_path(home_);
    }

    fs::path home_;
};

TEST_F(SoundTest, EachEffectPlaysItsOwnFile)
{
    // Each effect, then the three bumps (the rules draw which).
    std::vector<std::pair<void (*)(), int>> plays{{playBumpSmall, 3},
                                                  {playSpeed, 4},
                                                  {playResistance, 5},
                                                  {playGrowth, 6},
                                                  {playBomb, 7},
                                                  {playLose, 8},
                                                  {playWin, 9},
                                                  {playWhee, 10},
                                                  {[] { playBumpSound(0); }, 0},
                                                  {[] { playBumpSound(1); }, 1},
                                                  {[] { playBumpSound(2); }, 2}};
    for (const auto &[play, sample] : plays) {
        Mix_HaltChannel(-1);
        play();
        EXPECT_EQ(playingFrames(0), kFrames[sample]) << kNames[sample];
    }
}

TEST_F(SoundTest, MusicRotatesAndABoostTakesOverAtTheEndOfATrack)
{
    playMusic();
    // The choice is made when the track ends: a boost that comes and goes
    // within 1a leaves the rotation alone.
    playMusic2();
    playMusic1();
    std::vector<int> seq;
    ASSERT_TRUE(runFrames(main1, heard(seq, 3), 3000));
    // A boost in force when a track ends: 2 follows, and follows itself
    // while the boost lasts; then the rotation goes on with 1a.
    ASSERT_TRUE(runFrames(boost, heard(seq, 4), 2000));
    expectOnly(0, kMusic2, kMusic2 * 1000 / kRate + 300, boost);
    ASSERT_TRUE(runFrames(main1, heard(seq, 5), 2000));
    EXPECT_EQ(seq, (std::vector{kMusic1a, kMusic1b, kMusic1a, kMusic2, kMusic1a}));
    EXPECT_EQ(currentTrack(), 1);
    EXPECT_EQ(Mix_Playing(-1), 1) << "the music never left its channel";
}

TEST_F(SoundTest, EffectsPauseWithTheMusicAndNeverMoveIt)
{
    playMusic();
    for (void (*play)() : {playBumpSmall, playBumpSmall, playBumpSmall, playGrowth, playSpeed,
                           playResistance, playBomb, playWhee})
        play();
    // Eight effects in one frame: the music keeps its channel, the eighth is dropped.
    EXPECT_EQ(Mix_Playing(-1), MIX_CHANNELS);
    EXPECT_EQ(playingFrames(0), kMusic1a);
    EXPECT_EQ(playingFrames(7), kBomb);
    // Paused for longer than the track, nothing finishes.
    pauseAudio();
    EXPECT_EQ(Mix_Paused(-1), MIX_CHANNELS);
    const int bump = playingFrames(1);
    expectOnly(0, kMusic1a, 1000, main1);
    EXPECT_EQ(playingFrames(1), bump);
    resumeAudio();
    EXPECT_EQ(Mix_Paused(-1), 0);
    // The bumps end first, and a late notification for an effect's channel
    // starts nothing either.
    ASSERT_TRUE(runFrames(
        main1, [] { return Mix_Playing(1) == 0; }, 1000));
    channelDone(1);
    EXPECT_EQ(std::pair(currentTrack(), playingFrames(0)), std::pair(1, kMusic1a));
    // 1a ends while effects still play: 1b still gets channel 0.
    ASSERT_TRUE(runFrames(
        main1, [] { return currentTrack() == 2; }, 2000));
    EXPECT_EQ(playingFrames(0), kMusic1b);
}

TEST_F(SoundTest, VolumeStepsOfTwelveStopAtBothEnds)
{
    // From: effects on every channel but the first, the first, the music;
    // the step; then every channel, and the music. Effects step from the
    // channels' average, first (100 + 7 * 128) / 8 = 124.
    for (const auto &[effects, first, music, way, after, musicAfter] :
         std::array<std::array<int, 6>, 4>{{{128, 100, 128, -1, 112, 116},
                                            {8, 8, 5, -1, 0, 0},
                                            {0, 0, 0, 1, 12, 12},
                                            {120, 120, 125, 1, 128, 128}}}) {
        Mix_Volume(-1, effects);
        Mix_Volume(0, first);
        Mix_VolumeMusic(music);
        (way < 0 ? volumeDown : volumeUp)();
        for (int c = 0; c < MIX_CHANNELS; ++c)
            EXPECT_EQ(Mix_Volume(c, -1), after) << "channel " << c << " from " << effects;
        EXPECT_EQ(std::pair(effectsVolume(), musicVolume()), std::pair(after, musicAfter));
    }
    EXPECT_EQ(std::pair(volumeStepDown(13), volumeStepUp(120)), std::pair(1, 128));
}

TEST_F(SoundTest, StopAndFreeLeaveNoTrackStarting)
{
    playMusic();
    expectOnly(0, kMusic1a, 150, main1); // the later tracks are decoded by now
    playSpeed();
    stopMusic();
    EXPECT_EQ(std::pair(Mix_Playing(-1), playingFrames(1)),
              std::pair(1, kSpeed)); // effects play on
    freeSound();
    // Longer than any track: nothing starts again, nor on a late notification.
    expectOnly(0, 0, 800, main1);
    channelDone(0);
    EXPECT_EQ(Mix_Playing(-1), 0);
    // Freed samples play as silence.
    playBumpSound(0);
    playWin();
    EXPECT_EQ(Mix_Playing(0), 0);
}

// The second track is still being read (from a pipe that the test holds)
// when a short first one ends: the mixer plays on without it, and the frame
// update starts it on the first free channel once it is decoded.
TEST_F(SoundTest, TheMixerNeverWaitsForTheNextTrack)
{
    freeSound();
    write("sound/music-1a.ogg", wav(2000));
    fs::remove("sound/music-1b.ogg");
    ASSERT_EQ(mkfifo("sound/music-1b.ogg", 0600), 0);
    initSound();
    playMusic();
    playBomb(); // outlasts 1a
    // Nothing here takes the mixer's lock, which a stuck mixer would hold.
    const bool mixing = runFrames(
        main1, [] { return Mix_Playing(-1) == 0; }, 2000);
    write("sound/music-1b.ogg", wav(kMusic1b));
    EXPECT_TRUE(mixing) << "the mixer waited for the decoder";
    playSpeed(); // takes channel 0, where the music was
    ASSERT_TRUE(runFrames(
        main1, [] { return playingFrames(1) == kMusic1b; }, 2000));
    // On its new channel the rotation goes on: 1a, then 1b again.
    ASSERT_TRUE(runFrames(
        main1, [] { return currentTrack() == 1; }, 2000));
    ASSERT_TRUE(runFrames(
        main1, [] { return currentTrack() == 2; }, 2000));
    EXPECT_EQ(playingFrames(1), kMusic1b);
}

// Damaged files each give one line on standard error, naming the file and
// why, and are silent; the music goes on with the tracks that loaded.
TEST_F(SoundTest, ABrokenFileIsOneLineAndSilenceAndTheMusicSkipsIt)
{
    freeSound();
    const std::string shipped = readAll(QUORBLY_DATA_DIR "/sound/music-1a.ogg");
    const std::array<std::tuple<const char *, std::string, const char *>, 7> broken{{
        {"bump2.ogg", "", "empty file"},
        {"bump3.ogg", "", "Is a directory"},
        {"powerup-bomb.ogg", std::string(4000, 'x'), ""},
        {"end-winner.ogg", shipped.substr(0, 700), ""},
        {"whee.ogg", "", "No such file or directory"},
        {"music-1b.ogg", ogg(0, kRate, 0), "no sound in it"},
        {"music-2.ogg", shipped.substr(0, 58) + std::string(5000, '\0'), ""},
    }};
    for (const auto &[name, bytes, why] : broken)
        write(fs::path("sound") / name, bytes);
    fs::remove("sound/whee.ogg");
    fs::remove("sound/bump3.ogg");
    fs::create_directory("sound/bump3.ogg");
    testing::internal::CaptureStderr();
    initSound();
    playMusic();
    for (void (*play)() : {playBomb, playWin, playWhee})
        play();
    EXPECT_EQ(Mix_Playing(-1), 1);
    // With 1b and 2 broken, 1a follows itself, boost or not.
    expectOnly(0, kMusic1a, kMusic1a * 1000 / kRate + 300, boost);
    freeSound();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 7) << err;
    for (const auto &[name, bytes, why] : broken)
        EXPECT_NE(err.find(std::string("sound/") + name + ": " + why), std::string::npos) << err;

    // Without 1a the rotation is 1b, and 2 in a boost.
    fs::remove("sound/music-1a.ogg");
    write("sound/music-1b.ogg", wav(kMusic1b));
    write("sound/music-2.ogg", wav(kMusic2));
    initSound();
    playMusic();
    std::vector<int> seq;
    ASSERT_TRUE(runFrames(main1, heard(seq, 1), 2000));
    ASSERT_TRUE(runFrames(boost, heard(seq, 2), 2000));
    ASSERT_TRUE(runFrames(main1, heard(seq, 3), 2000));
    EXPECT_EQ(seq, (std::vector{kMusic1b, kMusic2, kMusic1b}));
}

// A loaded tone's pitch: rising edges of the left channel at the mixer's rate.
double pitchOf(const Mix_Chunk &chunk)
{
    const auto *s = reinterpret_cast<const std::int16_t *>(chunk.abuf);
    std::vector<std::size_t> rises;
    for (std::size_t i = 0, high = 1; i < chunk.alen / 4; ++i) {
        if (high == 0 && s[2 * i] > 2000)
            rises.push_back(i);
        high = s[2 * i] > 2000 || (high != 0 && s[2 * i] > -2000);
    }
    return rises.size() < 2 ? 0.0 : (rises.size() - 1.0) * kRate / (rises.back() - rises.front());
}

// The mixer converts rates only by doubling and halving; every other rate is
// resampled on loading, so each plays at its true pitch.
TEST_F(SoundTest, EveryRatePlaysAtItsTruePitch)
{
    for (const int rate : {8000, 32000, 44100, 48000, 96000})
        for (const bool vorbis : {true, false}) {
            write("tone.ogg", vorbis ? ogg(rate / 2, rate, 440) : wav(rate / 2, rate, 1, 440));
            Mix_Chunk *chunk = nullptr;
            loadSound(&chunk, "tone.ogg");
            ASSERT_NE(chunk, nullptr) << rate;
            EXPECT_NEAR(pitchOf(*chunk), 440.0, 4.4) << rate << (vorbis ? " Hz Ogg" : " Hz WAV");
            Mix_FreeChunk(chunk);
        }
}

TEST(SoundClosed, EveryCallIsHarmlessAndAFailedOpenSaysWhyOnOneLine)
{
    ASSERT_FALSE(audioOpen());
    const int track = currentTrack();
    for (void (*call)() : {initSound,     playMusic,  playMusic1, playMusic2,     playBumpSmall,
                           playBumpSmall, playGrowth, playSpeed,  playResistance, playBomb,
                           playWhee,      playWin,    playLose,   pauseAudio,     resumeAudio,
                           volumeDown,    volumeUp,   stopMusic,  freeSound,      closeAudio})
        call();
    channelDone(0);
    EXPECT_EQ(std::tuple(effectsVolume(), musicVolume(), currentTrack()), std::tuple(0, 0, track));

    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(openAudio());
    const std::string err = testing::internal::GetCapturedStderr(), why = SDL_GetError();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    EXPECT_TRUE(!why.empty() && err == "Unable to open audio: " + why + "\n") << err;
}

TEST(SoundGenerator, RegeneratesTheShippedFilesByteForByte)
{
    const fs::path tool = fs::path(QUORBLY_BUILD_DIR) / "tools/soundgen/quorbly-soundgen";
    char tmpl[] = "/tmp/quorbly-soundgen-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    ASSERT_EQ(std::system(("\"" + tool.string() + "\" " + tmpl + " > /dev/null").c_str()), 0);
    for (const char *name : kNames) {
        const std::string made = readAll(fs::path(tmpl) / name);
        EXPECT_TRUE(!made.empty() && made == readAll(fs::path(QUORBLY_DATA_DIR) / "sound" / name))
            << name << " differs from data/sound";
    }
    // Nothing else is written.
    EXPECT_EQ(std::distance(fs::directory_iterator(tmpl), fs::directory_iterator()), 14);
    fs::remove_all(tmpl);
}

} // namespace
