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

// A quiet tone as a 22050 Hz 16-bit stereo WAV. The mixer sniffs the format
// from the bytes, so it loads under the game's .ogg names.
void writeWav(const fs::path &path, int frames)
{
    const std::uint32_t data = static_cast<std::uint32_t>(frames) * 4;
    // RIFF header, a PCM fmt chunk (stereo, 16 bits, 22050 Hz) and the data chunk.
    const std::uint32_t header[] = {0x46464952, 36 + data, 0x45564157, 0x20746d66, 16,  0x00020001,
                                    kRate,      kRate * 4, 0x00100004, 0x61746164, data};
    std::vector<std::int16_t> samples;
    for (int i = 0; i < frames; ++i)
        samples.insert(samples.end(), 2, static_cast<std::int16_t>(1000 * std::sin(i * 0.05)));
    std::FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(header, sizeof header, 1, f);
    std::fwrite(samples.data(), 2, samples.size(), f);
    std::fclose(f);
}

// Frames of the sample on a channel, or 0 when the channel is silent.
// Read under the mixer's lock, so never halfway through a change of sample.
int playingFrames(int channel)
{
    SDL_LockAudio();
    const Mix_Chunk *c = Mix_Playing(channel) == 0 ? nullptr : Mix_GetChunk(channel);
    const int frames = c == nullptr ? 0 : static_cast<int>(c->alen / 4);
    SDL_UnlockAudio();
    return frames;
}

int effectChannelsPlaying()
{
    int n = 0;
    for (int c = 0; c < MIX_CHANNELS; ++c) {
        const int f = playingFrames(c);
        n += f != 0 && f != kMusic1a && f != kMusic1b && f != kMusic2;
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

void main1()
{
    playMusic1();
}
void boost()
{
    playMusic2();
}
void noFrame() {}

// Runs frames for ms, checking that the channel (-1: every channel) stays silent.
void expectSilent(int channel, int ms, const std::function<void()> &frame = noFrame)
{
    runFrames(
        frame, [channel] { return Mix_Playing(channel) != 0; }, ms);
    EXPECT_EQ(Mix_Playing(channel), 0) << "channel " << channel;
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

TEST_F(SoundTest, OpensAtTheGameFormatAndEveryEffectPlaysItsFile)
{
    int rate = 0, channels = 0;
    Uint16 format = 0;
    ASSERT_NE(Mix_QuerySpec(&rate, &format, &channels), 0);
    EXPECT_EQ(rate, 22050);
    EXPECT_EQ(format, AUDIO_S16LSB);
    EXPECT_EQ(channels, 2);

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
    // A bump is one of three, rand() % 3 drawn once per bump.
    std::srand(11);
    std::vector<int> expected;
    for (int i = 0; i < 30; ++i)
        expected.push_back(std::rand() % 3);
    std::srand(11);
    for (int i = 0; i < 30; ++i) {
        Mix_HaltChannel(-1);
        playBump();
        const char *name = expected[i] == 0   ? "bump.ogg"
                           : expected[i] == 1 ? "bump2.ogg"
                                              : "bump3.ogg";
        EXPECT_EQ(playingFrames(0), framesOf(name)) << "bump " << i;
    }
}

TEST_F(SoundTest, MusicRotatesOneAOneBOneA)
{
    playMusic();
    EXPECT_EQ(playingFrames(0), kMusic1a);
    EXPECT_EQ(currentTrack(), 1);
    // The choice is made when the track ends: a boost that comes and goes
    // within 1a leaves the rotation alone.
    playMusic2();
    playMusic1();
    std::vector<int> heard{playingFrames(0)};
    auto changed = [&] {
        const int f = playingFrames(0);
        if (f != 0 && f != heard.back())
            heard.push_back(f);
        return heard.size() == 3;
    };
    ASSERT_TRUE(runFrames(main1, changed, 3000));
    EXPECT_EQ(heard, (std::vector<int>{kMusic1a, kMusic1b, kMusic1a}));
    EXPECT_EQ(currentTrack(), 1);
    EXPECT_EQ(Mix_Playing(-1), 1) << "the music never left its channel";
}

TEST_F(SoundTest, BoostDuringOneBMakesTwoFollowAndRepeatThenOneA)
{
    playMusic();
    ASSERT_TRUE(runFrames(
        main1, [] { return currentTrack() == 2; }, 2000));
    EXPECT_EQ(playingFrames(0), kMusic1b);
    // A boost collected during 1b, still in force when it ends.
    ASSERT_TRUE(runFrames(
        boost, [] { return currentTrack() != 2; }, 2000));
    EXPECT_EQ(currentTrack(), 0);
    EXPECT_EQ(playingFrames(0), kMusic2);
    // Outlasting the theme, the boost theme follows itself without a gap.
    runFrames(
        boost,
        [] {
            EXPECT_EQ(playingFrames(0), kMusic2);
            return false;
        },
        kMusic2 * 1000 / kRate + 300);
    // The boost is over: after 2 comes 1a.
    ASSERT_TRUE(runFrames(
        main1, [] { return currentTrack() != 0; }, 2000));
    EXPECT_EQ(currentTrack(), 1);
    EXPECT_EQ(playingFrames(0), kMusic1a);
}

TEST_F(SoundTest, FinishingEffectDoesNotAdvanceTheMusic)
{
    playMusic();
    playWhee(); // shorter than the track
    ASSERT_EQ(playingFrames(1), framesOf("whee.ogg"));
    ASSERT_TRUE(runFrames(
        main1, [] { return Mix_Playing(1) == 0; }, 1000));
    EXPECT_EQ(currentTrack(), 1);
    EXPECT_EQ(playingFrames(0), kMusic1a);
    // The notification for an effect's channel starts nothing either.
    channelDone(1);
    channelDone(5);
    EXPECT_EQ(Mix_Playing(-1), 1);
    EXPECT_EQ(currentTrack(), 1);
}

TEST_F(SoundTest, EightEffectsInOneFrameLetAtMostSevenSound)
{
    playMusic();
    for (void (*play)() : {playBump, playBump, playBumpSmall, playGrowth, playSpeed, playResistance,
                           playBomb, playWhee})
        play();
    EXPECT_EQ(Mix_Playing(-1), MIX_CHANNELS);
    EXPECT_EQ(effectChannelsPlaying(), MIX_CHANNELS - 1);
    // The music keeps its channel; the eighth effect is the one dropped.
    EXPECT_EQ(playingFrames(0), kMusic1a);
    for (int c = 0; c < MIX_CHANNELS; ++c)
        EXPECT_NE(playingFrames(c), framesOf("whee.ogg")) << "channel " << c;
    // 1a ends while effects still play: 1b still gets channel 0.
    ASSERT_TRUE(runFrames(
        main1, [] { return currentTrack() == 2; }, 2000));
    EXPECT_EQ(playingFrames(0), kMusic1b);
}

TEST_F(SoundTest, PauseHoldsTheRotation)
{
    playMusic();
    playBomb();
    pauseAudio();
    EXPECT_EQ(Mix_Paused(-1), 2);
    // Much longer than the track: a paused track does not finish.
    runFrames(
        main1, [] { return false; }, 1000);
    EXPECT_EQ(currentTrack(), 1);
    EXPECT_EQ(playingFrames(0), kMusic1a);
    EXPECT_EQ(playingFrames(1), framesOf("powerup-bomb.ogg"));
    resumeAudio();
    EXPECT_EQ(Mix_Paused(-1), 0);
    ASSERT_TRUE(runFrames(
        main1, [] { return currentTrack() == 2; }, 2000));
    EXPECT_EQ(playingFrames(0), kMusic1b);
}

TEST_F(SoundTest, VolumeStepsOfTwelveStopAtBothEnds)
{
    // From the top, eleven steps down reach silence: 128, 116, ..., 8, 0.
    Mix_Volume(-1, 128);
    Mix_VolumeMusic(128);
    for (int expected : {116, 104, 92, 80, 68, 56, 44, 32, 20, 8, 0, 0}) {
        volumeDown();
        EXPECT_EQ(effectsVolume(), expected);
        EXPECT_EQ(musicVolume(), expected);
    }
    for (int expected : {12, 24}) {
        volumeUp();
        EXPECT_EQ(effectsVolume(), expected);
    }
    Mix_Volume(-1, 120);
    Mix_VolumeMusic(120);
    for (int i = 0; i < 2; ++i) {
        volumeUp();
        EXPECT_EQ(effectsVolume(), 128);
        EXPECT_EQ(musicVolume(), 128);
    }
    // Effects step from the channels' average, (100 + 7 * 128) / 8 = 124;
    // the music on its own.
    Mix_Volume(0, 100);
    Mix_VolumeMusic(60);
    volumeDown();
    for (int c = 0; c < MIX_CHANNELS; ++c)
        EXPECT_EQ(Mix_Volume(c, -1), 112) << "channel " << c;
    EXPECT_EQ(musicVolume(), 48);
    EXPECT_EQ(volumeStepDown(13), 1);
    EXPECT_EQ(volumeStepUp(115), 127);
}

TEST_F(SoundTest, StopAndFreeLeaveNoTrackStarting)
{
    playMusic();
    runFrames(
        main1, [] { return false; }, 150);
    playSpeed();
    stopMusic();
    EXPECT_EQ(Mix_Playing(0), 0);
    EXPECT_EQ(playingFrames(1), framesOf("powerup-speed.ogg")); // effects play on
    EXPECT_EQ(Mix_Playing(-1), 1);
    freeSound();
    // Longer than any track: nothing starts again, nor on a late notification.
    expectSilent(0, 800, main1);
    channelDone(0);
    EXPECT_EQ(Mix_Playing(0), 0);

    // The music starts again after a stop; freed while it plays, nothing starts.
    initSound();
    playMusic();
    EXPECT_EQ(playingFrames(0), kMusic1a);
    playMusic2();
    freeSound();
    expectSilent(-1, 700);
    playBump();
    playWin();
    EXPECT_EQ(Mix_Playing(-1), 0);
}

// The second and the boost track decode while the game starts. A first track
// far shorter than that decoding is followed by the whole second track, and
// sounds freed in the middle of it are freed whole.
TEST_F(SoundTest, ATrackThatEndsBeforeTheNextIsDecodedWaitsForIt)
{
    freeSound();
    const fs::path shipped = fs::path(QUORBLY_DATA_DIR) / "sound";
    writeWav(dir_ / "sound" / "music-1a.ogg", 220);
    for (const char *name : {"music-1b.ogg", "music-2.ogg"})
        fs::copy_file(shipped / name, dir_ / "sound" / name, fs::copy_options::overwrite_existing);
    Mix_Chunk *reference = Mix_LoadWAV("sound/music-1b.ogg");
    ASSERT_NE(reference, nullptr);
    const int music1bFrames = static_cast<int>(reference->alen / 4);
    Mix_FreeChunk(reference);

    // Freed at once, while the decoder is still at work, and loaded again.
    initSound();
    freeSound();
    initSound();
    playMusic();
    std::vector<int> heard{playingFrames(0)};
    ASSERT_TRUE(runFrames(
        main1,
        [&] {
            const int f = playingFrames(0);
            if (f != heard.back())
                heard.push_back(f);
            return f == music1bFrames;
        },
        3000));
    EXPECT_EQ(heard.front(), 220);
    EXPECT_EQ(heard.back(), music1bFrames);
    // Silence while the mixer waits, but never another sample.
    for (const int f : heard)
        EXPECT_TRUE(f == 220 || f == 0 || f == music1bFrames) << "heard " << f << " frames";
    EXPECT_EQ(currentTrack(), 2);
}

TEST_F(SoundTest, MissingFilesAreSilentSamples)
{
    freeSound();
    fs::remove(dir_ / "sound" / "music-1a.ogg");
    fs::remove(dir_ / "sound" / "whee.ogg");
    initSound();
    Mix_Chunk *chunk = nullptr;
    loadSound(&chunk, "sound/whee.ogg");
    EXPECT_EQ(chunk, nullptr);
    playWhee();
    EXPECT_EQ(Mix_Playing(-1), 0);
    // Without music-1a there is no music at all.
    playMusic();
    expectSilent(-1, 300, main1);
    playGrowth();
    EXPECT_EQ(playingFrames(0), framesOf("powerup-growth.ogg"));
}

TEST(SoundClosed, EveryCallIsHarmlessWithoutAMixer)
{
    ASSERT_FALSE(audioOpen());
    const int track = currentTrack();
    initSound();
    Mix_Chunk *chunk = nullptr;
    loadSound(&chunk, "sound/bump.ogg");
    EXPECT_EQ(chunk, nullptr);
    for (void (*call)() :
         {playMusic, playMusic1, playMusic2, playBump, playBumpSmall, playGrowth, playSpeed,
          playResistance, playBomb, playWhee, playWin, playLose, pauseAudio, resumeAudio,
          volumeDown, volumeUp, stopMusic, freeSound, closeAudio})
        call();
    channelDone(0);
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
    EXPECT_EQ(err.find('\n'), err.size() - 1) << "not one line: " << err;
}

} // namespace
