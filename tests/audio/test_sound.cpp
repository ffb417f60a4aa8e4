// The sound module against the real mixer on SDL's dummy driver, which plays
// at real-time pace. Short generated samples stand in for the game's sounds;
// each has its own length, so the length of the sample on a channel tells
// which one is playing there.

#include "audio/sound.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

constexpr int kRate = 22050;

// Names in the order the module loads them, with test lengths in frames.
struct TestSample {
    const char *name;
    int frames;
};
constexpr std::array<TestSample, 14> kSamples{{
    {"bump.ogg", 2205},
    {"bump2.ogg", 2300},
    {"bump3.ogg", 2400},
    {"bumpsmall.ogg", 2500},
    {"powerup-speed.ogg", 17640},
    {"powerup-resistance.ogg", 18000},
    {"powerup-growth.ogg", 18500},
    {"powerup-bomb.ogg", 19000},
    {"end-yousuck.ogg", 3000},
    {"end-winner.ogg", 3100},
    {"whee.ogg", 3200},
    {"music-1a.ogg", 17000},
    {"music-1b.ogg", 12000},
    {"music-2.ogg", 13000},
}};

int framesOf(const char *name)
{
    for (const TestSample &s : kSamples)
        if (std::string(name) == s.name)
            return s.frames;
    return -1;
}

const int kMusic1a = framesOf("music-1a.ogg");
const int kMusic1b = framesOf("music-1b.ogg");
const int kMusic2 = framesOf("music-2.ogg");

void put16(std::vector<unsigned char> &b, unsigned v)
{
    b.push_back(static_cast<unsigned char>(v & 0xFF));
    b.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

void put32(std::vector<unsigned char> &b, unsigned v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// A quiet tone as a 22050 Hz 16-bit stereo WAV. The mixer sniffs the format
// from the bytes, so it loads under the game's .ogg names.
void writeWav(const fs::path &path, int frames)
{
    std::vector<unsigned char> b{'R', 'I', 'F', 'F'};
    const unsigned data = static_cast<unsigned>(frames) * 4;
    put32(b, 36 + data);
    for (char c : std::string("WAVEfmt "))
        b.push_back(static_cast<unsigned char>(c));
    put32(b, 16);
    put16(b, 1);
    put16(b, 2);
    put32(b, kRate);
    put32(b, kRate * 4);
    put16(b, 4);
    put16(b, 16);
    for (char c : std::string("data"))
        b.push_back(static_cast<unsigned char>(c));
    put32(b, data);
    for (int i = 0; i < frames; ++i) {
        const auto v = static_cast<std::int16_t>(1000.0 * std::sin(i * 0.05));
        put16(b, static_cast<std::uint16_t>(v));
        put16(b, static_cast<std::uint16_t>(v));
    }
    std::FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(b.data(), 1, b.size(), f), b.size());
    std::fclose(f);
}

// Frames of the sample on a channel, or 0 when the channel is silent.
int playingFrames(int channel)
{
    if (Mix_Playing(channel) == 0)
        return 0;
    const Mix_Chunk *c = Mix_GetChunk(channel);
    return c == nullptr ? 0 : static_cast<int>(c->alen / 4);
}

int effectChannelsPlaying()
{
    int n = 0;
    for (int c = 0; c < MIX_CHANNELS; ++c) {
        const int f = playingFrames(c);
        if (f != 0 && f != kMusic1a && f != kMusic1b && f != kMusic2)
            ++n;
    }
    return n;
}

// Runs frames of about 5 ms, calling frame() in each, until done() or the
// time runs out; true if done() became true.
bool runFrames(const std::function<void()> &frame, const std::function<bool()> &done, int ms)
{
    const Uint32 until = SDL_GetTicks() + static_cast<Uint32>(ms);
    while (SDL_GetTicks() < until) {
        frame();
        if (done())
            return true;
        SDL_Delay(5);
    }
    return done();
}

void noFrame() {}

// Lets the mixer run for a while with the frame loop going.
void wait(int ms, const std::function<void()> &frame = noFrame)
{
    runFrames(
        frame, [] { return false; }, ms);
}

class SoundTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/quorbly-sound-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        fs::create_directory(dir_ / "sound");
        for (const TestSample &s : kSamples)
            writeWav(dir_ / "sound" / s.name, s.frames);
        home_ = fs::current_path();
        fs::current_path(dir_);
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
        fs::current_path(home_);
        fs::remove_all(dir_);
    }

    fs::path dir_, home_;
};

TEST_F(SoundTest, OpensAtTheGameFormatAndLoadsEverySample)
{
    int rate = 0, channels = 0;
    Uint16 format = 0;
    ASSERT_NE(Mix_QuerySpec(&rate, &format, &channels), 0);
    EXPECT_EQ(rate, 22050);
    EXPECT_EQ(format, AUDIO_S16LSB);
    EXPECT_EQ(channels, 2);
    EXPECT_TRUE(audioOpen());

    // Every effect plays its own file.
    const std::array<std::pair<void (*)(), const char *>, 8> effects{{
        {playBumpSmall, "bumpsmall.ogg"},
        {playSpeed, "powerup-speed.ogg"},
        {playResistance, "powerup-resistance.ogg"},
        {playGrowth, "powerup-growth.ogg"},
        {playBomb, "powerup-bomb.ogg"},
        {playLose, "end-yousuck.ogg"},
        {playWin, "end-winner.ogg"},
        {playWhee, "whee.ogg"},
    }};
    for (const auto &[play, name] : effects) {
        Mix_HaltChannel(-1);
        play();
        EXPECT_EQ(playingFrames(0), framesOf(name)) << name;
    }
}

TEST_F(SoundTest, BumpPicksOneOfThreeAtRandom)
{
    std::array<int, 3> seen{};
    std::srand(7);
    for (int i = 0; i < 60; ++i) {
        Mix_HaltChannel(-1);
        playBump();
        const int f = playingFrames(0);
        if (f == framesOf("bump.ogg"))
            ++seen[0];
        else if (f == framesOf("bump2.ogg"))
            ++seen[1];
        else if (f == framesOf("bump3.ogg"))
            ++seen[2];
        else
            ADD_FAILURE() << "playBump played " << f << " frames";
    }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    EXPECT_GT(seen[2], 0);

    // The choice is rand() % 3, drawn once per bump.
    std::srand(11);
    std::vector<int> expected;
    for (int i = 0; i < 12; ++i)
        expected.push_back(std::rand() % 3);
    std::srand(11);
    for (int i = 0; i < 12; ++i) {
        Mix_HaltChannel(-1);
        playBump();
        const int f = playingFrames(0);
        const int got = f == framesOf("bump.ogg") ? 0 : f == framesOf("bump2.ogg") ? 1 : 2;
        EXPECT_EQ(got, expected[static_cast<std::size_t>(i)]) << "bump " << i;
    }
}

TEST_F(SoundTest, MusicRotatesOneAOneBOneA)
{
    playMusic();
    EXPECT_EQ(playingFrames(0), kMusic1a);
    EXPECT_EQ(currentTrack(), 1);

    std::vector<int> heard{playingFrames(0)};
    auto frame = [] { playMusic1(); };
    auto changed = [&] {
        const int f = playingFrames(0);
        if (f != 0 && f != heard.back())
            heard.push_back(f);
        return heard.size() == 3;
    };
    ASSERT_TRUE(runFrames(frame, changed, 3000));
    EXPECT_EQ(heard, (std::vector<int>{kMusic1a, kMusic1b, kMusic1a}));
    EXPECT_EQ(currentTrack(), 1);
    // The music never left its channel.
    EXPECT_EQ(effectChannelsPlaying(), 0);
    for (int c = 1; c < MIX_CHANNELS; ++c)
        EXPECT_EQ(Mix_Playing(c), 0) << "channel " << c;
}

TEST_F(SoundTest, BoostDuringOneBMakesTwoFollowThenOneA)
{
    playMusic();
    auto main = [] { playMusic1(); };
    auto boost = [] { playMusic2(); };
    ASSERT_TRUE(runFrames(
        main, [] { return currentTrack() == 2; }, 2000));
    EXPECT_EQ(playingFrames(0), kMusic1b);

    // A boost collected during 1b, still in force when it ends.
    ASSERT_TRUE(runFrames(
        boost, [] { return currentTrack() != 2; }, 2000));
    EXPECT_EQ(currentTrack(), 0);
    EXPECT_EQ(playingFrames(0), kMusic2);

    // The boost is over: after 2 comes 1a.
    ASSERT_TRUE(runFrames(
        main, [] { return currentTrack() != 0; }, 2000));
    EXPECT_EQ(currentTrack(), 1);
    EXPECT_EQ(playingFrames(0), kMusic1a);
}

TEST_F(SoundTest, BoostThemeRepeatsWhileTheBoostLasts)
{
    playMusic();
    auto boost = [] { playMusic2(); };
    ASSERT_TRUE(runFrames(
        boost, [] { return currentTrack() == 0; }, 2000));
    // Outlast the boost theme: it follows itself without a gap.
    const int ms = kMusic2 * 1000 / kRate + 300;
    runFrames(
        boost,
        [] {
            EXPECT_EQ(playingFrames(0), kMusic2);
            return false;
        },
        ms);
    EXPECT_EQ(currentTrack(), 0);
}

TEST_F(SoundTest, ChoiceIsMadeWhenTheTrackEndsNotBefore)
{
    playMusic();
    // A boost that comes and goes within 1a leaves the rotation alone.
    playMusic2();
    playMusic1();
    ASSERT_TRUE(runFrames(
        noFrame, [] { return currentTrack() != 1; }, 2000));
    EXPECT_EQ(currentTrack(), 2);
    EXPECT_EQ(playingFrames(0), kMusic1b);
}

TEST_F(SoundTest, FinishingEffectDoesNotAdvanceTheMusic)
{
    playMusic();
    playWhee(); // shorter than the track
    const int wheeChannel = 1;
    ASSERT_EQ(playingFrames(wheeChannel), framesOf("whee.ogg"));
    ASSERT_TRUE(
        runFrames([] { playMusic1(); }, [&] { return Mix_Playing(wheeChannel) == 0; }, 1000));
    EXPECT_EQ(currentTrack(), 1);
    EXPECT_EQ(playingFrames(0), kMusic1a);
    EXPECT_EQ(Mix_Playing(-1), 1);
    // The notification for an effect's channel starts nothing either.
    channelDone(wheeChannel);
    channelDone(5);
    EXPECT_EQ(Mix_Playing(-1), 1);
    EXPECT_EQ(currentTrack(), 1);
}

TEST_F(SoundTest, EightEffectsInOneFrameLetAtMostSevenSound)
{
    playMusic();
    playBump();
    playBump();
    playBumpSmall();
    playGrowth();
    playSpeed();
    playResistance();
    playBomb();
    playWhee();
    EXPECT_EQ(Mix_Playing(-1), MIX_CHANNELS);
    EXPECT_EQ(effectChannelsPlaying(), MIX_CHANNELS - 1);
    // The music keeps its channel; the eighth effect is the one dropped.
    EXPECT_EQ(playingFrames(0), kMusic1a);
    for (int c = 0; c < MIX_CHANNELS; ++c)
        EXPECT_NE(playingFrames(c), framesOf("whee.ogg")) << "channel " << c;

    // 1a ends while effects still play: 1b still gets channel 0.
    ASSERT_TRUE(runFrames([] { playMusic1(); }, [] { return currentTrack() == 2; }, 2000));
    EXPECT_EQ(playingFrames(0), kMusic1b);
}

TEST_F(SoundTest, PauseHoldsTheRotation)
{
    playMusic();
    playBomb();
    pauseAudio();
    EXPECT_EQ(Mix_Paused(-1), 2);
    // Much longer than the track: a paused track does not finish.
    wait(1000, playMusic1);
    EXPECT_EQ(currentTrack(), 1);
    EXPECT_EQ(playingFrames(0), kMusic1a);
    EXPECT_EQ(playingFrames(1), framesOf("powerup-bomb.ogg"));

    resumeAudio();
    EXPECT_EQ(Mix_Paused(-1), 0);
    ASSERT_TRUE(runFrames([] { playMusic1(); }, [] { return currentTrack() == 2; }, 2000));
    EXPECT_EQ(playingFrames(0), kMusic1b);
}

TEST_F(SoundTest, VolumeStepsStopAtBothEnds)
{
    Mix_Volume(-1, 120);
    Mix_VolumeMusic(120);
    volumeUp();
    EXPECT_EQ(effectsVolume(), 128);
    EXPECT_EQ(musicVolume(), 128);
    volumeUp();
    EXPECT_EQ(effectsVolume(), 128);
    EXPECT_EQ(musicVolume(), 128);

    Mix_Volume(-1, 5);
    Mix_VolumeMusic(5);
    volumeDown();
    EXPECT_EQ(effectsVolume(), 0);
    EXPECT_EQ(musicVolume(), 0);
    volumeDown();
    EXPECT_EQ(effectsVolume(), 0);
    EXPECT_EQ(musicVolume(), 0);

    // From the top, eleven steps down reach silence: 128, 116, ..., 8, 0.
    Mix_Volume(-1, 128);
    Mix_VolumeMusic(128);
    for (int expected = 116; expected >= 8; expected -= 12) {
        volumeDown();
        EXPECT_EQ(effectsVolume(), expected);
        EXPECT_EQ(musicVolume(), expected);
    }
    volumeDown();
    EXPECT_EQ(effectsVolume(), 0);
    EXPECT_EQ(musicVolume(), 0);
    for (int i = 0; i < 11; ++i)
        volumeUp();
    EXPECT_EQ(effectsVolume(), 128);
    EXPECT_EQ(musicVolume(), 128);
}

TEST_F(SoundTest, VolumeStepStartsFromTheChannelAverage)
{
    Mix_Volume(-1, 128);
    Mix_Volume(0, 100); // average (100 + 7 * 128) / 8 = 124
    Mix_VolumeMusic(60);
    volumeDown();
    for (int c = 0; c < MIX_CHANNELS; ++c)
        EXPECT_EQ(Mix_Volume(c, -1), 112) << "channel " << c;
    // The music volume steps on its own.
    EXPECT_EQ(musicVolume(), 48);
}

TEST_F(SoundTest, StopAndFreeLeaveNoTrackStarting)
{
    playMusic();
    wait(150, playMusic1);
    playSpeed();
    stopMusic();
    EXPECT_EQ(Mix_Playing(0), 0);
    EXPECT_EQ(playingFrames(1), framesOf("powerup-speed.ogg")); // effects play on
    EXPECT_EQ(Mix_Playing(-1), 1);
    freeSound();
    // Longer than any track: nothing starts again.
    runFrames([] { playMusic1(); },
              [] {
                  EXPECT_EQ(Mix_Playing(0), 0);
                  return false;
              },
              800);
    EXPECT_EQ(Mix_Playing(-1), 0);
    // A late notification for the music channel finds nothing to start.
    channelDone(0);
    EXPECT_EQ(Mix_Playing(-1), 0);
}

TEST_F(SoundTest, FreeingWhileMusicPlaysStartsNothing)
{
    playMusic();
    playMusic2();
    freeSound();
    runFrames(
        noFrame,
        [] {
            EXPECT_EQ(Mix_Playing(-1), 0);
            return false;
        },
        700);
    // Playing after the samples are gone is harmless.
    playBump();
    playWin();
    EXPECT_EQ(Mix_Playing(-1), 0);
}

TEST_F(SoundTest, MusicCanStartAgainAfterAStop)
{
    playMusic();
    stopMusic();
    EXPECT_EQ(Mix_Playing(-1), 0);
    playMusic();
    EXPECT_EQ(currentTrack(), 1);
    ASSERT_TRUE(runFrames([] { playMusic1(); }, [] { return currentTrack() == 2; }, 2000));
    EXPECT_EQ(playingFrames(0), kMusic1b);
}

TEST_F(SoundTest, MissingFilesAreSilentSamples)
{
    freeSound();
    fs::remove(dir_ / "sound" / "music-1a.ogg");
    fs::remove(dir_ / "sound" / "whee.ogg");
    initSound();
    playWhee();
    EXPECT_EQ(Mix_Playing(-1), 0);
    // Without music-1a there is no music at all.
    playMusic();
    EXPECT_EQ(Mix_Playing(-1), 0);
    wait(300, playMusic1);
    EXPECT_EQ(Mix_Playing(-1), 0);
    playGrowth();
    EXPECT_EQ(playingFrames(0), framesOf("powerup-growth.ogg"));
}

TEST(SoundLoad, LoadSoundStoresTheDecodedSampleOrNull)
{
    char tmpl[] = "/tmp/quorbly-load-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const fs::path dir = tmpl;
    writeWav(dir / "tone.wav", 1234);
    ASSERT_TRUE(openAudio());
    Mix_Chunk *chunk = nullptr;
    loadSound(&chunk, (dir / "tone.wav").c_str());
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(chunk->alen, 1234u * 4u);
    Mix_FreeChunk(chunk);
    loadSound(&chunk, (dir / "missing.wav").c_str());
    EXPECT_EQ(chunk, nullptr);
    closeAudio();
    fs::remove_all(dir);
}

TEST(SoundClosed, EveryCallIsHarmlessWithoutAMixer)
{
    ASSERT_FALSE(audioOpen());
    const int track = currentTrack();
    initSound();
    Mix_Chunk *chunk = nullptr;
    loadSound(&chunk, "sound/bump.ogg");
    EXPECT_EQ(chunk, nullptr);
    playMusic();
    playMusic1();
    playMusic2();
    channelDone(0);
    playBump();
    playBumpSmall();
    playGrowth();
    playSpeed();
    playResistance();
    playBomb();
    playWhee();
    playWin();
    playLose();
    pauseAudio();
    resumeAudio();
    volumeDown();
    volumeUp();
    stopMusic();
    freeSound();
    closeAudio();
    EXPECT_FALSE(audioOpen());
    EXPECT_EQ(effectsVolume(), 0);
    EXPECT_EQ(musicVolume(), 0);
    EXPECT_EQ(currentTrack(), track);
}

TEST(SoundClosed, FailedOpenSaysWhyOnOneLine)
{
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    testing::internal::CaptureStderr();
    const bool opened = openAudio();
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string why = SDL_GetError();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);

    EXPECT_FALSE(opened);
    EXPECT_FALSE(audioOpen());
    ASSERT_FALSE(why.empty());
    EXPECT_NE(err.find(why), std::string::npos) << err;
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.back(), '\n');
    EXPECT_EQ(err.find('\n'), err.size() - 1) << "more than one line: " << err;
    // The game goes on silently.
    playBump();
    playMusic();
    EXPECT_FALSE(audioOpen());
}

TEST(VolumeStep, TwelveAtATimeWithinZeroTo128)
{
    EXPECT_EQ(volumeStepDown(128), 116);
    EXPECT_EQ(volumeStepDown(13), 1);
    EXPECT_EQ(volumeStepDown(12), 0);
    EXPECT_EQ(volumeStepDown(5), 0);
    EXPECT_EQ(volumeStepDown(0), 0);
    EXPECT_EQ(volumeStepUp(0), 12);
    EXPECT_EQ(volumeStepUp(115), 127);
    EXPECT_EQ(volumeStepUp(116), 128);
    EXPECT_EQ(volumeStepUp(120), 128);
    EXPECT_EQ(volumeStepUp(128), 128);
    for (int v = 0; v <= 128; ++v) {
        EXPECT_GE(volumeStepDown(v), 0);
        EXPECT_LE(volumeStepUp(v), 128);
        EXPECT_EQ(volumeStepDown(v), v > 12 ? v - 12 : 0);
        EXPECT_EQ(volumeStepUp(v), v < 116 ? v + 12 : 128);
    }
}

} // namespace
